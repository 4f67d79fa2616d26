// SKOS read with serd into definition blocks in bounded memory (see skos_reader.h).
//
// Records of the sorts (keys are IRIs, or "_:" and a blank node's name, escaped so that they
// hold no zero byte: 0x00 becomes 0x01 0x01 and 0x01 becomes 0x01 0x02; each key ends with a
// zero byte, so that records sort by their keys first):
//   label      key(subject) kind rank text   kind: LabelKind; rank: 0 best language first
//   relation   key(object) key(subject) p    p: index into kSkosRelations
//   target     key(subject) p text           text: the object's preferred word
#include "skos_reader.h"

#include <serd/serd.h>

#include <cctype>
#include <cstdarg>
#include <cstring>
#include <memory>

#include "definition_writer.h"
#include "external_sort.h"
#include "import_report.h"
#include "skos_terms.h"
#include "word_rules.h"

namespace thestool {

namespace {

void appendKey(std::string_view key, std::string* out) {
  for (char c : key) {
    if (c == '\0' || c == '\1') {
      out->push_back('\1');
      out->push_back(c == '\0' ? '\1' : '\2');
    } else {
      out->push_back(c);
    }
  }
  out->push_back('\0');
}

// Takes the leading key (still escaped) off record.
std::string_view takeKey(std::string_view* record) {
  std::size_t end = record->find('\0');
  if (end == std::string_view::npos) end = record->size();
  std::string_view key = record->substr(0, end);
  record->remove_prefix(std::min(end + 1, record->size()));
  return key;
}

// key as written in messages: the escapes undone, IRIs in angle brackets.
std::string shownKey(std::string_view escaped) {
  std::string key;
  for (std::size_t i = 0; i < escaped.size(); ++i) {
    if (escaped[i] == '\1' && i + 1 < escaped.size())
      key += escaped[++i] == '\1' ? '\0' : '\1';
    else
      key += escaped[i];
  }
  return key.rfind("_:", 0) == 0 ? key : "<" + key + ">";
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

// The parse: serd's callbacks fill the two sorts.
class Parse {
 public:
  Parse(const SkosOptions& options, ImportReport* report, RecordSorter* labels,
        RecordSorter* relations)
      : options_(options), report_(report), labels_(labels), relations_(relations) {
    env_ = serd_env_new(nullptr);
  }
  ~Parse() { serd_env_free(env_); }

  static SerdStatus onBase(void* handle, const SerdNode* uri) {
    return serd_env_set_base_uri(static_cast<Parse*>(handle)->env_, uri);
  }
  static SerdStatus onPrefix(void* handle, const SerdNode* name, const SerdNode* uri) {
    return serd_env_set_prefix(static_cast<Parse*>(handle)->env_, name, uri);
  }
  static SerdStatus onStatement(void* handle, SerdStatementFlags, const SerdNode*,
                                const SerdNode* subject, const SerdNode* predicate,
                                const SerdNode* object, const SerdNode*, const SerdNode* lang) {
    return static_cast<Parse*>(handle)->statement(subject, predicate, object, lang);
  }
  static SerdStatus onError(void* handle, const SerdError* e) {
    auto* self = static_cast<Parse*>(handle);
    if (!self->error_.empty()) return SERD_SUCCESS;
    char text[512];
    va_list args;
    va_copy(args, *e->args);
    // serd gives its message as a format and its arguments.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::vsnprintf(text, sizeof text, e->fmt, args);
#pragma GCC diagnostic pop
    va_end(args);
    std::string message = text;
    while (!message.empty() && message.back() == '\n')
      message.pop_back();
    self->error_ = std::to_string(e->line) + ":" + std::to_string(e->col) + ": " + message;
    return SERD_SUCCESS;
  }

  const std::string& error() const { return error_; }

 private:
  // The key of a subject or object node: its absolute IRI, or "_:" and a blank node's name.
  bool key(const SerdNode* node, std::string* out) {
    out->clear();
    switch (node->type) {
      case SERD_URI:
        if (serd_uri_string_has_scheme(node->buf)) {
          out->assign(reinterpret_cast<const char*>(node->buf), node->n_bytes);
        } else {
          SerdNode absolute = serd_env_expand_node(env_, node);
          const SerdNode& used = absolute.buf != nullptr ? absolute : *node;
          out->assign(reinterpret_cast<const char*>(used.buf), used.n_bytes);
          serd_node_free(&absolute);
        }
        return true;
      case SERD_CURIE: {
        SerdChunk prefix, suffix;
        if (serd_env_expand(env_, node, &prefix, &suffix) != SERD_SUCCESS) {
          fail("undefined prefix in '" +
               std::string(reinterpret_cast<const char*>(node->buf), node->n_bytes) + "'");
          return false;
        }
        out->assign(reinterpret_cast<const char*>(prefix.buf), prefix.len);
        out->append(reinterpret_cast<const char*>(suffix.buf), suffix.len);
        return true;
      }
      case SERD_BLANK:
        out->assign("_:");
        out->append(reinterpret_cast<const char*>(node->buf), node->n_bytes);
        return true;
      default:
        return false;
    }
  }

  void fail(const std::string& what) {
    if (error_.empty()) error_ = " " + what;
  }

  // The rank of a label's language (0 best), or -1 for a language not chosen.
  int rank(const SerdNode* lang) const {
    std::string_view tag;
    if (lang != nullptr && lang->buf != nullptr)
      tag = std::string_view(reinterpret_cast<const char*>(lang->buf), lang->n_bytes);
    std::string_view chosen = "en";
    if (!options_.lang.empty()) chosen = options_.lang;
    const int untagged = options_.lang.empty() ? 0 : 2;
    if (tag.empty()) return untagged;
    const int offset = options_.lang.empty() ? 1 : 0;
    if (equalsIgnoringCase(tag, chosen)) return offset;
    if (tag.size() > chosen.size() && tag[chosen.size()] == '-' &&
        equalsIgnoringCase(tag.substr(0, chosen.size()), chosen))
      return offset + 1;
    return -1;
  }

  SerdStatus statement(const SerdNode* subject, const SerdNode* predicate, const SerdNode* object,
                       const SerdNode* lang) {
    if (!key(predicate, &predicate_)) return error_.empty() ? SERD_SUCCESS : SERD_ERR_BAD_CURIE;
    const std::size_t nsLength = sizeof kSkosNamespace - 1;
    if (predicate_.compare(0, nsLength, kSkosNamespace) != 0) return SERD_SUCCESS;
    const std::string_view local = std::string_view(predicate_).substr(nsLength);
    int labelKind = -1, relation = -1;
    for (int k = 0; k < 3; ++k) {
      if (local == kLabelNames[k]) labelKind = k;
    }
    for (unsigned r = 0; r < kSkosRelationCount; ++r) {
      if (local == kSkosRelations[r].localName) relation = static_cast<int>(r);
    }
    if (labelKind < 0 && relation < 0) return SERD_SUCCESS;
    if (!key(subject, &subject_)) return error_.empty() ? SERD_SUCCESS : SERD_ERR_BAD_CURIE;
    record_.clear();
    if (labelKind >= 0) {
      if (object->type != SERD_LITERAL) return SERD_SUCCESS;
      const int r = rank(lang);
      if (r < 0) {
        ++report_->counts.otherLanguages;
        return SERD_SUCCESS;
      }
      std::string_view text =
          trimBlanks({reinterpret_cast<const char*>(object->buf), object->n_bytes});
      if (const char* broken = wordRuleBroken(text)) {
        report_->warn(std::string(kLabelNames[labelKind]) + " '" + std::string(text) + "' of " +
                      shownKey(subject_) + " " + broken + "; label skipped");
        ++report_->counts.labelsSkipped;
        return SERD_SUCCESS;
      }
      appendKey(subject_, &record_);
      record_ += static_cast<char>(labelKind);
      record_ += static_cast<char>(r);
      record_.append(text);
      if (!labels_->add(record_)) return SERD_ERR_UNKNOWN;
      return SERD_SUCCESS;
    }
    if (!key(object, &object_)) return error_.empty() ? SERD_SUCCESS : SERD_ERR_BAD_CURIE;
    if (object_.size() + subject_.size() > RecordSorter::kMaxRecord / 2) {
      report_->warn("a relation of " + shownKey(subject_).substr(0, 80) +
                    "... with an IRI too long; relation skipped");
      ++report_->counts.relationsSkipped;
      return SERD_SUCCESS;
    }
    appendKey(object_, &record_);
    appendKey(subject_, &record_);
    record_ += static_cast<char>(relation);
    if (!relations_->add(record_)) return SERD_ERR_UNKNOWN;
    return SERD_SUCCESS;
  }

  const SkosOptions& options_;
  ImportReport* report_;
  RecordSorter* labels_;
  RecordSorter* relations_;
  SerdEnv* env_;
  std::string predicate_, subject_, object_, record_;
  std::string error_;
};

// Merges the relations (by object) with the objects' preferred words into targets (by
// subject). A relation whose object has no label is counted.
bool resolveTargets(RecordSorter* labels, RecordSorter* relations, RecordSorter* targets,
                    ImportReport* report) {
  std::string_view label, relation;
  std::string subject, preferred;  // the label subject at hand and its first word
  bool haveLabel = labels->next(&label);
  auto takeSubject = [&]() {
    std::string_view rest = label;
    subject.assign(takeKey(&rest));
    preferred.assign(rest.substr(2));
  };
  if (haveLabel) takeSubject();
  std::string record;
  while (relations->next(&relation)) {
    std::string_view rest = relation;
    const std::string_view object = takeKey(&rest);
    const std::string_view from = takeKey(&rest);
    // Skip the labels of subjects before the object.
    while (haveLabel && std::string_view(subject) < object) {
      while ((haveLabel = labels->next(&label))) {
        std::string_view peek = label;
        if (takeKey(&peek) != subject) break;
      }
      if (haveLabel) takeSubject();
    }
    if (!haveLabel || std::string_view(subject) != object || rest.empty()) {
      ++report->counts.relationsSkipped;
      continue;
    }
    record.assign(from);
    record += '\0';
    record += rest[0];
    record += preferred;
    if (!targets->add(record)) return false;
  }
  return labels->error().empty() && relations->error().empty();
}

// Writes one block per subject with labels: its labels, then its relations.
bool writeBlocks(RecordSorter* labels, RecordSorter* targets, DefinitionWriter* writer,
                 ImportReport* report) {
  std::string_view label, target;
  bool haveLabel = labels->next(&label), haveTarget = targets->next(&target);
  std::string subject;
  auto subjectOf = [](std::string_view record) { return takeKey(&record); };
  while (haveLabel || haveTarget) {
    if (haveLabel && (!haveTarget || subjectOf(label) <= subjectOf(target)))
      subject.assign(subjectOf(label));
    else
      subject.assign(subjectOf(target));
    if (!haveLabel || subjectOf(label) != subject) {
      ++report->counts.conceptsWithoutLabel;
      for (; haveTarget && subjectOf(target) == subject; haveTarget = targets->next(&target))
        ++report->counts.relationsSkipped;
      continue;
    }
    writer->beginBlock(true);
    bool first = true;
    for (; haveLabel && subjectOf(label) == subject; haveLabel = labels->next(&label)) {
      std::string_view rest = label;
      takeKey(&rest);
      const auto kind = static_cast<uint8_t>(rest[0]);
      // The first label is the preferred word; other preferred labels count as alternative.
      const unsigned strength =
          first ? kLabelStrength[kPrefLabel]
                : kLabelStrength[kind == kPrefLabel ? unsigned{kAltLabel} : kind];
      writer->member(rest.substr(2), strength);
      first = false;
    }
    for (; haveTarget && subjectOf(target) == subject; haveTarget = targets->next(&target)) {
      std::string_view rest = target;
      takeKey(&rest);
      const auto p = static_cast<uint8_t>(rest[0]);
      if (p < kSkosRelationCount) writer->relation(kSkosRelations[p].keyword, rest.substr(1));
    }
    if (!writer->endBlock()) ++report->counts.conceptsAlone;
  }
  return labels->error().empty() && targets->error().empty();
}

}  // namespace

bool readSkos(FILE* in, const std::string& name, const SkosOptions& options,
              DefinitionWriter* writer, ImportReport* report, std::string* error) {
  const std::size_t share = options.sortMemory / 3;
  RecordSorter labels(options.tempDirectory, share, options.maxFanIn);
  auto owned = std::make_unique<RecordSorter>(options.tempDirectory, share, options.maxFanIn);
  RecordSorter& relations = *owned;
  auto sortError = [&](const RecordSorter& s) {
    *error = name + ": " + s.error();
    return false;
  };
  {
    Parse parse(options, report, &labels, &relations);
    SerdReader* reader =
        serd_reader_new(options.turtle ? SERD_TURTLE : SERD_NTRIPLES, &parse, nullptr,
                        &Parse::onBase, &Parse::onPrefix, &Parse::onStatement, nullptr);
    serd_reader_set_strict(reader, true);
    serd_reader_set_error_sink(reader, &Parse::onError, &parse);
    const SerdStatus status =
        serd_reader_read_file_handle(reader, in, reinterpret_cast<const uint8_t*>(name.c_str()));
    serd_reader_free(reader);
    if (!labels.error().empty()) return sortError(labels);
    if (!relations.error().empty()) return sortError(relations);
    if (!parse.error().empty() || (status != SERD_SUCCESS && status != SERD_FAILURE)) {
      *error = name + ":" + (parse.error().empty() ? " cannot be read" : parse.error());
      return false;
    }
    if (std::ferror(in)) {
      *error = name + ": reading failed";
      return false;
    }
  }
  if (!labels.finish()) return sortError(labels);
  if (!relations.finish()) return sortError(relations);
  RecordSorter targets(options.tempDirectory, share, options.maxFanIn);
  if (!resolveTargets(&labels, &relations, &targets, report)) {
    return sortError(!labels.error().empty()      ? labels
                     : !relations.error().empty() ? relations
                                                  : targets);
  }
  owned.reset();  // the relations are merged: their memory and file go before the last pass
  if (!labels.rewind()) return sortError(labels);
  if (!targets.finish()) return sortError(targets);
  if (!writeBlocks(&labels, &targets, writer, report))
    return sortError(!labels.error().empty() ? labels : targets);
  return true;
}

}  // namespace thestool
