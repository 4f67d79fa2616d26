// The mapping between SKOS and definition files that import and export share: which SKOS
// property becomes which relation line, and the strengths of the three kinds of label.
#ifndef TOOLS_SKOS_TERMS_H
#define TOOLS_SKOS_TERMS_H

#include <cstdint>

namespace thestool {

constexpr const char kSkosNamespace[] = "http://www.w3.org/2004/02/skos/core#";

// One SKOS relation property: its local name, the relation (category, id) of the relation line
// it becomes in the subject's block, and that line's keyword. A numbered relation n has id
// n + 127.
struct SkosRelation {
  const char* localName;
  uint8_t category;
  uint8_t id;
  const char* keyword;
};

constexpr SkosRelation kSkosRelations[] = {
    {"broader", 2, 1, ".LOWER_THAN"},         {"narrower", 1, 1, ".HIGHER_THAN"},
    {"related", 3, 2, ".RELATED_TO"},         {"exactMatch", 3, 128, ".RELATED_TO(1)"},
    {"closeMatch", 3, 129, ".RELATED_TO(2)"}, {"relatedMatch", 3, 130, ".RELATED_TO(3)"},
    {"broadMatch", 2, 131, ".LOWER_THAN(4)"}, {"narrowMatch", 1, 131, ".HIGHER_THAN(4)"},
};
constexpr unsigned kSkosRelationCount = sizeof kSkosRelations / sizeof kSkosRelations[0];

// The label properties in the order of their strength, and the strengths.
enum LabelKind : uint8_t { kPrefLabel = 0, kAltLabel = 1, kHiddenLabel = 2 };
constexpr const char* kLabelNames[] = {"prefLabel", "altLabel", "hiddenLabel"};
constexpr unsigned kLabelStrength[] = {100, 80, 50};

}  // namespace thestool

#endif  // TOOLS_SKOS_TERMS_H
