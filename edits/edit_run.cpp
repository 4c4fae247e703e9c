#include "edits/edit_run.h"

#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "edits/element_search.h"
#include "package/extra_data.h"
#include "platform/ascii_text.h"

EditRun::EditRun()
    : idPrefixTable{{"WS_", 1},   {"WSU_", 1},  {"WSC_", 1}, {"WSCU_", 1}, {"XLS_", 1},
                    {"WSP_", 1},  {"WSPU_", 1}, {"WST_", 1}, {"WSTU_", 1}, {"WSE_", 1},
                    {"WSEU_", 1}, {"MM_", 1},   {"MMU_", 1}, {"XLSR_", 1}, {"TBBU_", 1},
                    {"TBFU_", 1}, {"WSR_", 1}} {}

namespace {

constexpr char kIdentifierAttribute[] = "UID";

void countIdentifier(EditRun& run, const char* uid) {
  const std::string_view text(uid);
  for (IdPrefix& entry : run.idPrefixTable) {
    if (platform::lowerAsciiLetter(uid[0]) != platform::lowerAsciiLetter(entry.prefix[0])) continue;
    const std::size_t length = std::strlen(entry.prefix);
    if (!platform::equalsIgnoringAsciiCase(text.substr(0, length), entry.prefix)) continue;
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
    const char* uid = nodeText(findSibling(node->firstAttribute, kIdentifierAttribute));
    if (uid) countIdentifier(run, uid);
    if (node->extra && node->extra->kind == kExtraCheckedPart) {
      const std::string& kept = static_cast<extraDataCheckedPart*>(node->extra)->collectedValues;
      for (std::size_t at = 0; at < kept.size(); at = kept.find('\0', at) + 1)
        countIdentifier(run, kept.c_str() + at);
    }
  }
}

PackageReading packageReadingForEdits() {
  // Those that findWorkspaceRoot and the menu merge read; they change no other part.
  static const char* const kTreeParts[] = {"Header.cui", "WorkspaceRoot.cui", nullptr};
  return PackageReading{kTreeParts, kIdentifierAttribute};
}

std::string newToolbarId(EditRun& run) {
  std::uint32_t number = run.idPrefixTable[kToolbarIdPrefix].counter++;
  return std::string(run.idPrefixTable[kToolbarIdPrefix].prefix) + std::to_string(number);
}

void setFormatVersion(EditRun& run, unsigned major, unsigned minor) {
  run.formatMajorVersion = major;
  run.formatMinorVersion = minor;
}
