// thesaurus-lookup: looks terms up in a thesaurus dictionary through the flat lookup API.
//
//   thesaurus-lookup -f <dictionary> [-ccsid <ccsid>] [-term <term>] [-wildcard <chars>]
//                    [-maxTerms <n>] [-maxDepth <n>] [-strength <n>]
//                    [-relType UF|RT|NT|BT|PT[,...]] [-relName <0..128>] [-all] [-global]
//                    [-format text|tsv|dot|json] [-expand "<query>"] [-v]
//
// Without -term the top terms are listed; -global adds the word and group counts. Results come
// in the engine's breadth-first order. -expand shows a query with each word widened by its
// related terms. Settings and result counts of -v go to standard error, so that tsv, dot and
// JSON output stay clean. A term that is not in the dictionary exits with 1, as grep does when
// nothing matches; failures exit with 8.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "lookup_output.h"
#include "thesaurus_engine/cnet.h"
#include "tool_common.h"
#include "tyk_cnet/tyk_api_thes.h"
#include "tyk_common/tyk_error_info.h"

using namespace thestool;

namespace {

const char kTool[] = "thesaurus-lookup";

// Every named relation, and every family of numbered relations.
constexpr uint8_t kAllNamed =
    CNET_REL_SYNONYM | CNET_REL_RELATED | CNET_REL_HIGHER | CNET_REL_LOWER;
constexpr uint8_t kAllFamilies = CNET_USER_SYMMETRIC | CNET_USER_HIGHER | CNET_USER_LOWER;

// What to follow, independent of whether the lookup API or the expansion applies it.
struct RelationPlan {
  uint8_t named = 0;                                  // named relations
  uint8_t families = 0;                               // every numbered relation of these families
  std::vector<std::pair<uint8_t, uint8_t>> numbered;  // (family flag, number 1..128)
  bool preferred = false;                             // PT: the strongest synonym only
};

// Reads the -relType list and -relName into a plan; returns an error text or "".
std::string planRelations(const Options& opts, const std::string& optType,
                          const std::string& optName, RelationPlan* plan) {
  if (opts.has("all") && (opts.has(optType) || opts.has(optName))) {
    return "-all goes without -" + optType + " and -" + optName;
  }
  uint8_t typeFlags = 0;
  if (opts.has(optType)) {
    std::string list = opts.value(optType) + ",";
    std::string::size_type start = 0, comma;
    while ((comma = list.find(',', start)) != std::string::npos) {
      std::string t = list.substr(start, comma - start);
      start = comma + 1;
      if (t == "UF")
        typeFlags |= CNET_REL_SYNONYM;
      else if (t == "RT")
        typeFlags |= CNET_REL_RELATED;
      else if (t == "BT")
        typeFlags |= CNET_REL_HIGHER;
      else if (t == "NT")
        typeFlags |= CNET_REL_LOWER;
      else if (t == "PT")
        plan->preferred = true;
      else
        return message(kRelationTypeInvalid, t.c_str()).substr(2);
    }
    if (plan->preferred && (typeFlags != 0 || opts.has(optName))) {
      return "-" + optType + " PT stands alone";
    }
  }
  if (opts.has("all") || (!opts.has(optType) && !opts.has(optName))) {
    plan->named = kAllNamed;
    plan->families = kAllFamilies;
    return "";
  }
  if (plan->preferred) {
    plan->named = CNET_REL_SYNONYM;
    return "";
  }
  if (!opts.has(optName)) {
    plan->named = typeFlags;
    return "";
  }
  long number = 0;
  if (!parseInteger(opts.value(optName), 0, 128, &number)) {
    return message(kRelationNameInvalid, opts.value(optName).c_str()).substr(2);
  }
  if (number == 0) {
    plan->named = typeFlags != 0 ? typeFlags : kAllNamed;
    return "";
  }
  // Numbered relations live in three families; synonyms share the symmetric one with related
  // terms.
  uint8_t families = kAllFamilies;
  if (typeFlags != 0) {
    families = 0;
    if (typeFlags & (CNET_REL_SYNONYM | CNET_REL_RELATED)) families |= CNET_USER_SYMMETRIC;
    if (typeFlags & CNET_REL_HIGHER) families |= CNET_USER_HIGHER;
    if (typeFlags & CNET_REL_LOWER) families |= CNET_USER_LOWER;
  }
  for (uint8_t f : {CNET_USER_SYMMETRIC, CNET_USER_HIGHER, CNET_USER_LOWER}) {
    if (families & f) plan->numbered.push_back({f, static_cast<uint8_t>(number)});
  }
  return "";
}

// Prints the error information of a failed API call and returns kExitFailed.
int apiFailed(const TykClErrorInfo& info, TykEnReturnCode rc, const std::string& what) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s: %s failed (return code %u, reason %u)\n", kTool, what.c_str(),
               static_cast<unsigned>(rc), static_cast<unsigned>(info.getReasonCode()));
  if (info.getContext()[0] != '\0') printError(info.getContext());
  return kExitFailed;
}

// Reads every entry of a list through its iterator; the list is deleted.
std::vector<Entry> readList(TykClThesOutputList* list) {
  std::vector<Entry> out;
  if (list == nullptr) return out;
  std::unique_ptr<TykClThesOutputList> owner(list);
  std::unique_ptr<TykClListABase::Iterator> it(list->getNewIterator());
  for (bool more = it->isValid(); more; more = it->setToNext(1)) {
    char text[CNET_WORD_MAX];
    uint32_t length = 0, type = 0;
    uint8_t strength = 0;
    short depth = 0;
    unsigned short number = 0;
    if (tykThesaurusEntryObtainData(it.get(), text, &length, &strength, &depth, &type, &number) !=
        0)
      break;
    Entry e;
    e.text.assign(text, std::min<uint32_t>(length, sizeof text));
    e.depth = static_cast<unsigned>(depth < 0 ? 0 : depth);
    e.strength = strength;
    e.type = type;
    e.number = number;
    // The parent index is part of the result entry itself.
    e.parent = static_cast<const CNETRESENT*>(it->getCurrent())->parent;
    out.push_back(e);
  }
  return out;
}

// Expands query with the related terms of its words and prints the expanded query.
int expandQuery(const DictionaryPath& dict, uint8_t codePage, const std::string& query,
                const RelationPlan& plan, long maxTerms, long maxDepth, long strength, bool verbose,
                Format format, const Subject& subject) {
  std::vector<RELATION> list;
  for (const auto& [family, number] : plan.numbered) {
    RELATION r = {};
    r.type = family == CNET_USER_SYMMETRIC ? CNET_RELTYPE_USER_SYMMETRIC
             : family == CNET_USER_HIGHER  ? CNET_RELTYPE_USER_HIGHER
                                           : CNET_RELTYPE_USER_LOWER;
    r.number = number;
    list.push_back(r);
  }
  CNETCOND cond = {};
  cond.relations = plan.named;
  cond.userFamilies = plan.families;
  cond.userCount = static_cast<uint32_t>(list.size());
  cond.userList = list.empty() ? nullptr : list.data();
  cond.maxTerms = static_cast<uint32_t>(maxTerms);
  cond.maxDepth = static_cast<int32_t>(maxDepth);
  cond.minStrength = static_cast<uint8_t>(strength);
  ZOLSEARCHCOND in = {};
  in.codePage = codePage;
  in.form = 1;
  in.queryText = query.c_str();
  in.queryLength = static_cast<int32_t>(query.size());
  CNETEXPOPT options = {};
  options.mode = 1;
  ZOLSEARCHCOND out = {};
  CNETEXPSUMMARY* summary = nullptr;
  void* context = nullptr;
  CNETSTATUS status = {};
  zolCNETexpandSearchCond(&context, dict.name.c_str(), dict.directory.c_str(), &in, &cond, &options,
                          0, &out, verbose ? &summary : nullptr, &status);
  int rc = kExitOk;
  if (status.retcode != 0) {
    printError(std::string(kTool) + ": " + dict.directory + "/" + dict.name + ": " +
               engineMessage(status));
    rc = kExitFailed;
  } else {
    // The formatted text grows with the number of terms; retry with more room when needed.
    std::vector<char> buffer;
    ZOLSTATUS zst = {};
    int32_t length = 0;
    for (std::size_t size = 4096; size <= (std::size_t{1} << 24); size *= 4) {
      buffer.assign(size, '\0');
      zst = ZOLSTATUS{};
      ZOLformatSearchCond(&out, buffer.data(), static_cast<int32_t>(size), &length, &zst);
      if (zst.retcode == 0) break;
    }
    if (zst.retcode != 0) {
      CNETSTATUS converted = {};
      cnetConvertStatus_ZOL_CNET(&zst, &converted);
      printError(std::string(kTool) + ": " + engineMessage(converted));
      rc = kExitFailed;
    } else {
      printExpansion(format, subject, query, buffer.data());
      if (verbose && summary != nullptr) {
        std::fprintf(stderr, "%u terms in the expanded query%s\n", summary->count,
                     status.termsOmitted ? " (some related terms left out)" : "");
      }
    }
  }
  CNETSTATUS scratch = {};
  zolCNETexpandSearchCond_Release(&context, &scratch);
  return rc;
}

// Sets the wildcard characters of the word search: the first of chars matches any run of
// characters, the second (when given) any single character.
TykEnReturnCode setWildcards(TykClThesaurus* handle, const std::string& chars) {
  const char run = chars.empty() ? '\0' : chars[0];
  const char single = chars.size() < 2 ? '\0' : chars[1];
  return tykThesaurusLookupSetMasks(handle, &single, 1, &run, 1);
}

// A term that is not in the dictionary ends the lookup with kExitNotFound and one line.
int notFound(const TykClErrorInfo& info, TykEnReturnCode rc, const std::string& term,
             const std::string& what) {
  if (info.getReasonCode() != TYK_REASON_TERM_NOT_FOUND) return apiFailed(info, rc, what);
  std::fflush(stdout);
  std::fprintf(stderr, "%s: '%s' is not in the dictionary\n", kTool, term.c_str());
  return kExitNotFound;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string optF = message(kOptF), optCcsid = message(kOptCcsid), optV = message(kOptV),
                    optTerm = message(kOptTerm), optMaxTerms = message(kOptMaxTerms),
                    optMaxDepth = message(kOptMaxDepth), optStrength = message(kOptStrength),
                    optRelType = message(kOptRelType), optRelName = message(kOptRelName);
  const std::vector<OptionSpec> specs = {
      {optF, true},
      {optCcsid, true},
      {optTerm, true},
      {optMaxTerms, true},
      {optMaxDepth, true},
      {optStrength, true},
      {optRelType, true},
      {optRelName, true},
      {"all", false},
      {"global", false},
      {"format", true, "text|tsv|dot|json",
       "output: indented text (default), tab-separated columns, a Graphviz graph or one JSON "
       "document"},
      {"expand", true, "<query>", "print the query with each word widened by its related terms"},
      {"wildcard", true, "<chars>",
       "wildcard characters of -term: the first matches any run of characters, the second "
       "(optional) any single character, e.g. -wildcard '*?'"},
      {optV, false}};
  Options opts;
  std::string error = parseOptions(argc, argv, specs, &opts);
  if (!error.empty()) return usageError(kTool, error, kLookupSynopsis);
  if (opts.has("help")) return printHelp(kLookupTitle, kLookupHelp, specs);
  if (opts.has("version")) return printVersion(kTool);

  if (!opts.has(optF) || opts.value(optF).empty()) {
    return usageError(kTool, "option -" + optF + " is required", kLookupSynopsis);
  }
  DictionaryPath dict;
  if (!splitDictionaryPath(opts.value(optF), &dict, &error))
    return usageError(kTool, error, kLookupSynopsis);
  uint16_t ccsid = 1208;
  uint8_t codePage = 34;
  if (opts.has(optCcsid) && !parseCcsid(opts.value(optCcsid), &ccsid, &codePage)) {
    printError(message(kInvalidCcsid) + ": " + opts.value(optCcsid));
    return kExitUsage;
  }
  const bool expand = opts.has("expand");
  Format format = Format::kText;
  if (!parseFormat(opts.value("format", "text"), &format)) {
    return usageError(kTool, "-format is text, tsv, dot or json", kLookupSynopsis);
  }
  const Subject subject{opts.value(optF), ccsid};
  if (expand && (opts.has(optTerm) || opts.has("global") || opts.has("wildcard") ||
                 format == Format::kTsv || format == Format::kDot)) {
    return usageError(kTool,
                      "-expand goes without -" + optTerm +
                          ", -global and -wildcard, and with -format text or json only",
                      kLookupSynopsis);
  }
  if (opts.has("global") && opts.has(optTerm)) {
    return usageError(kTool, "-global goes without -" + optTerm, kLookupSynopsis);
  }
  const std::string& wildcards = opts.value("wildcard");
  if (opts.has("wildcard") && (!opts.has(optTerm) || wildcards.empty() || wildcards.size() > 2 ||
                               (wildcards.size() == 2 && wildcards[0] == wildcards[1]))) {
    return usageError(kTool,
                      "-wildcard takes one or two different characters and goes with -" + optTerm,
                      kLookupSynopsis);
  }
  long maxTerms = expand ? 10 : 100, maxDepth = expand ? 1 : 10, strength = 0;
  const long termsCap = expand ? 64 : 10000;
  if (opts.has(optMaxTerms) && !parseInteger(opts.value(optMaxTerms), 1, termsCap, &maxTerms)) {
    return usageError(kTool,
                      "-" + optMaxTerms + " is a number from 1 to " + std::to_string(termsCap),
                      kLookupSynopsis);
  }
  if (opts.has(optMaxDepth) && !parseInteger(opts.value(optMaxDepth), 1, 32767, &maxDepth)) {
    return usageError(kTool, "-" + optMaxDepth + " is a number from 1 to 32767", kLookupSynopsis);
  }
  if (opts.has(optStrength) && !parseInteger(opts.value(optStrength), 0, 100, &strength)) {
    return usageError(kTool, "-" + optStrength + " is a number from 0 to 100", kLookupSynopsis);
  }
  RelationPlan plan;
  error = planRelations(opts, optRelType, optRelName, &plan);
  if (!error.empty()) return usageError(kTool, error, kLookupSynopsis);
  if (expand && plan.preferred) {
    return usageError(kTool, "-" + optRelType + " PT goes without -expand", kLookupSynopsis);
  }
  const bool verbose = opts.has(optV);
  const std::string& term = opts.value(optTerm);
  if (opts.has(optTerm) && (term.empty() || term.size() > CNET_TERM_MAX)) {
    return usageError(kTool, "-" + optTerm + " takes 1 to 64 bytes", kLookupSynopsis);
  }
  if (verbose) {
    std::fprintf(stderr, "Dictionary %s/%s, CCSID %u, maxTerms %ld, maxDepth %ld, strength %ld\n",
                 dict.directory.c_str(), dict.name.c_str(), ccsid, maxTerms, maxDepth, strength);
  }
  if (expand) {
    return expandQuery(dict, codePage, opts.value("expand"), plan, maxTerms, maxDepth, strength,
                       verbose, format, subject);
  }

  TykClErrorInfo info;
  TykClContext context(info);
  TykClThesaurus* handle = nullptr;
  TykEnReturnCode rc = tykHandleNewThesaurusLookup(dict.directory.c_str(), dict.name.c_str(), ccsid,
                                                   static_cast<int>(maxTerms), &handle, &context);
  if (rc != 0) return apiFailed(info, rc, "opening the dictionary");
  // The handle is deleted on every way out.
  struct HandleGuard {
    TykClThesaurus** cell;
    ~HandleGuard() { tykHandleDeleteThesaurusLookup(cell); }
  } guard{&handle};

  uint32_t words = 0, groups = 0;
  if (opts.has("global")) {
    rc = tykThesaurusLookupObtainProperties(handle, &words, &groups);
    if (rc != 0) return apiFailed(info, rc, "reading the dictionary's size");
  }
  TykClThesOutputList* list = nullptr;
  if (!opts.has(optTerm)) {
    rc = tykThesaurusLookupObtainHighestTerms(handle, &list);
    if (rc != 0) return apiFailed(info, rc, "listing the top terms");
  } else {
    rc = tykThesaurusLookupSetDepth(handle, static_cast<short>(plan.preferred ? 1 : maxDepth));
    if (rc == 0) rc = tykThesaurusLookupSetStrength(handle, static_cast<uint8_t>(strength));
    // SetRelationTypes also selects the numbered families of its flags; AddRelation with
    // number 0 adds named relations alone.
    if (rc == 0)
      rc = tykThesaurusLookupSetRelationTypes(handle, plan.families != 0 ? plan.named : 0);
    if (rc == 0 && plan.families == 0 && plan.named != 0) {
      rc = tykThesaurusLookupAddRelation(handle, 0, plan.named);
    }
    for (const auto& [family, number] : plan.numbered) {
      if (rc == 0) rc = tykThesaurusLookupAddRelation(handle, number, family);
    }
    if (rc == 0 && opts.has("wildcard")) rc = setWildcards(handle, wildcards);
    if (rc != 0) return apiFailed(info, rc, "setting up the lookup");
    rc = tykThesaurusLookupPerform(handle, &list, term.data(), static_cast<unsigned>(term.size()));
    if (rc != 0) return notFound(info, rc, term, "looking up '" + term + "'");
  }
  uint32_t count = 0;
  bool complete = true;
  tykThesaurusLookupObtainResultInformation(handle, &count, &complete);
  std::vector<Entry> entries = readList(list);

  if (!opts.has(optTerm)) {
    printTopTerms(format, subject, opts.has("global"), words, groups, entries);
  } else if (plan.preferred) {
    const Entry* best = nullptr;
    for (const Entry& e : entries) {
      if (e.type == CNET_RELTYPE_SYNONYM && (best == nullptr || e.strength > best->strength))
        best = &e;
    }
    std::vector<Entry> shown;
    if (best != nullptr) shown.push_back(*best);
    printEntries(format, subject, term, complete, shown);
  } else {
    printEntries(format, subject, term, complete, entries);
  }
  if (verbose) {
    std::fprintf(stderr, "%u terms%s\n", count,
                 complete ? "" : " (more terms left out at -maxTerms)");
  }
  return kExitOk;
}
