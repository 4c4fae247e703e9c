#include "edits/edit_run.h"

#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "edits/element_search.h"
#include "platform/ascii_text.h"

EditRun::EditRun()
    : idPrefixTable{{"WS_", 1},   {"WSU_", 1},  {"WSC_", 1}, {"WSCU_", 1}, {"XLS_", 1},
                    {"WSP_", 1},  {"WSPU_", 1}, {"WST_", 1}, {"WSTU_", 1}, {"WSE_", 1},
                    {"WSEU_", 1}, {"MM_", 1},   {"MMU_", 1}, {"XLSR_", 1}, {"TBBU_", 1},
                    {"TBFU_", 1}, {"WSR_", 1}} {}

namespace {

void countIdentifier(EditRun& run, const char* uid) {
  for (IdPrefix& entry : run.idPrefixTable) {
    const std::size_t length = std::strlen(entry.prefix);
    if (!platform::equalsIgnoringAsciiCase(std::string_view(uid).substr(0, length), entry.prefix))
      continue;
    // As atol reads it: white space, a sign, digits; taken modulo 2^32.
    std::uint32_t number = static_cast<std::uint32_t>(std::strtoll(uid + length, nullptr, 10));
    if (entry.counter <= number) entry.counter = number + 1;
    return;
  }
}

}  // namespace

void scanIdentifiers(EditRun& run, xmlNode* document) {
  // Document order without recursion: a node, its children, then its next sibling.
  std::vector<xmlNode*> pending;
  if (document) pending.push_back(document);
  while (!pending.empty()) {
    xmlNode* node = pending.back();
    pending.pop_back();
    if (node->next) pending.push_back(node->next);
    if (node->firstChild) pending.push_back(node->firstChild);
    const char* uid = nodeText(findSibling(node->firstAttribute, "UID"));
    if (uid) countIdentifier(run, uid);
  }
}

std::string newToolbarId(EditRun& run) {
  std::uint32_t number = run.idPrefixTable[kToolbarIdPrefix].counter++;
  return std::string(run.idPrefixTable[kToolbarIdPrefix].prefix) + std::to_string(number);
}

void setFormatVersion(EditRun& run, unsigned major, unsigned minor) {
  run.formatMajorVersion = major;
  run.formatMinorVersion = minor;
}
