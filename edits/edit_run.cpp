#include "edits/edit_run.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
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

// The number after an identifier's prefix as atol reads it (white space, a sign, digits), taken
// modulo 2^32. Plain digits, by far the most common, are read here.
std::uint32_t identifierNumber(const char* digits) {
  std::uint32_t number = 0;
  const char* p = digits;
  for (; p - digits < 9 && *p >= '0' && *p <= '9'; ++p) number = number * 10 + (*p - '0');
  if (p != digits && !(*p >= '0' && *p <= '9')) return number;
  return static_cast<std::uint32_t>(std::strtoll(digits, nullptr, 10));
}

// Raises run's counters above the identifiers it is given. Most identifiers match no prefix,
// and their first letter alone tells.
class IdentifierCounter {
 public:
  explicit IdentifierCounter(EditRun& run) : run_(run) {
    for (const IdPrefix& entry : run.idPrefixTable) {
      if (!entry.prefix[0]) std::fill(std::begin(firstLetters_), std::end(firstLetters_), true);
      firstLetters_[letterIndex(entry.prefix[0])] = true;
    }
  }

  void count(const char* uid) {
    if (!firstLetters_[letterIndex(uid[0])]) return;
    for (IdPrefix& entry : run_.idPrefixTable) {
      const char* p = uid;
      const char* prefix = entry.prefix;
      while (*prefix && platform::lowerAsciiLetter(*p) == platform::lowerAsciiLetter(*prefix))
        ++p, ++prefix;
      if (*prefix) continue;
      std::uint32_t number = identifierNumber(p);
      if (entry.counter <= number) entry.counter = number + 1;
      return;
    }
  }

 private:
  static unsigned char letterIndex(char c) {
    return static_cast<unsigned char>(platform::lowerAsciiLetter(c));
  }
  EditRun& run_;
  bool firstLetters_[256] = {};
};

}  // namespace

void scanIdentifiers(EditRun& run, xmlNode* document) {
  IdentifierCounter counter(run);
  // Document order without recursion: a node, its children, then its next sibling.
  std::vector<xmlNode*> pending;
  if (document) pending.push_back(document);
  while (!pending.empty()) {
    xmlNode* node = pending.back();
    pending.pop_back();
    if (node->next) pending.push_back(node->next);
    if (node->firstChild) pending.push_back(node->firstChild);
    const char* uid = nodeText(findSibling(node->firstAttribute, kIdentifierAttribute));
    if (uid) counter.count(uid);
    if (node->extra && node->extra->kind == kExtraCheckedPart) {
      const std::string& kept = static_cast<extraDataCheckedPart*>(node->extra)->collectedValues;
      for (std::size_t at = 0; at < kept.size(); at = kept.find('\0', at) + 1)
        counter.count(kept.c_str() + at);
    }
  }
}

namespace {

// Those that findWorkspaceRoot and the menu merge read; they change no other part.
const char* const kTreeParts[] = {"Header.cui", "WorkspaceRoot.cui", nullptr};

}  // namespace

PackageReading packageReadingForEdits() {
  return PackageReading{kTreeParts, kIdentifierAttribute, false};
}

PackageReading packageReadingForDecision() {
  return PackageReading{kTreeParts, nullptr, true};
}

std::string newToolbarId(EditRun& run) {
  std::uint32_t number = run.idPrefixTable[kToolbarIdPrefix].counter++;
  return std::string(run.idPrefixTable[kToolbarIdPrefix].prefix) + std::to_string(number);
}

void setFormatVersion(EditRun& run, unsigned major, unsigned minor) {
  run.formatMajorVersion = major;
  run.formatMinorVersion = minor;
}
