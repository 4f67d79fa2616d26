#include "support/dict_model.h"

#include <algorithm>
#include <cstring>

#include "support/temp_dir.h"

namespace testsupport {
namespace {

uint32_t be32(const std::string& s, uint64_t at) {
  const auto* b = reinterpret_cast<const unsigned char*>(s.data() + at);
  return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

}  // namespace

int DictModel::wordId(const std::string& text) const {
  for (size_t i = 0; i < words.size(); ++i) {
    if (words[i].text == text) return static_cast<int>(i);
  }
  return -1;
}

std::vector<std::string> DictModel::relationsOf(const std::string& text) const {
  std::vector<std::string> out;
  int id = wordId(text);
  if (id < 0) return out;
  for (const ModelRel& r : words[id].rels) {
    std::string target = r.target < words.size() ? words[r.target].text : "?";
    out.push_back(target + " " + std::to_string(r.category) + "," + std::to_string(r.id) + " " +
                  std::to_string(r.strength));
  }
  return out;
}

std::string loadDictionary(const std::string& dir, const std::string& name, DictModel* m) {
  std::string base = dir + "/" + name + ".";
  for (const char* ext : {"wdf", "wdv", "grf", "grv"}) {
    if (!fileExists(base + ext)) return std::string("missing ") + ext;
  }
  std::string wdf = readFile(base + "wdf"), wdv = readFile(base + "wdv");
  std::string grf = readFile(base + "grf"), grv = readFile(base + "grv");
  m->wdvSize = wdv.size();
  m->grvSize = grv.size();
  if (wdf.size() < 80) return "short header";
  m->header = wdf.substr(0, 80);
  if (m->header.compare(0, 4, "CNET") != 0) return "bad magic";
  m->version = be32(wdf, 4);
  m->wordCount = be32(wdf, 8);
  m->groupCount = be32(wdf, 12);
  m->absentWords = be32(wdf, 16);
  m->absentGroups = be32(wdf, 20);
  m->maxWordGroups = be32(wdf, 24);
  m->maxWordRels = be32(wdf, 28);
  m->maxGroupMembers = be32(wdf, 32);
  m->maxGroupRels = be32(wdf, 36);
  m->codePage = static_cast<uint8_t>(wdf[40]);
  if (wdf.size() != 80 + 20ull * m->wordCount) return "wdf size does not match the word count";
  if (grf.size() != 20ull * m->groupCount) return "grf size does not match the group count";
  m->words.clear();
  for (uint32_t i = 0; i < m->wordCount; ++i) {
    uint64_t at = 80 + 20ull * i;
    ModelWord w;
    w.offset = be32(wdf, at);
    w.textLength = be32(wdf, at + 4);
    w.relCount = be32(wdf, at + 8);
    w.groupCount = be32(wdf, at + 12);
    w.flags = static_cast<uint8_t>(wdf[at + 16]);
    std::memcpy(w.reserved, wdf.data() + at + 17, 3);
    uint64_t padded = (w.textLength + 3ull) / 4 * 4;
    uint64_t end = w.offset + padded + 4ull * w.groupCount + 8ull * w.relCount;
    if (end > wdv.size()) return "word data beyond wdv";
    w.text = wdv.substr(w.offset, w.textLength);
    w.padding = wdv.substr(w.offset + w.textLength, padded - w.textLength);
    uint64_t p = w.offset + padded;
    for (uint32_t g = 0; g < w.groupCount; ++g, p += 4)
      w.groups.push_back(be32(wdv, p));
    for (uint32_t r = 0; r < w.relCount; ++r, p += 8) {
      ModelRel rel{be32(wdv, p), static_cast<uint8_t>(wdv[p + 4]), static_cast<uint8_t>(wdv[p + 5]),
                   static_cast<uint8_t>(wdv[p + 6]), static_cast<uint8_t>(wdv[p + 7])};
      w.rels.push_back(rel);
    }
    m->words.push_back(std::move(w));
  }
  m->groups.clear();
  for (uint32_t i = 0; i < m->groupCount; ++i) {
    uint64_t at = 20ull * i;
    ModelGroup g;
    g.offset = be32(grf, at);
    g.size = be32(grf, at + 4);
    g.memberCount = be32(grf, at + 8);
    g.relCount = be32(grf, at + 12);
    g.category = static_cast<uint8_t>(grf[at + 16]);
    g.id = static_cast<uint8_t>(grf[at + 17]);
    g.flags = static_cast<uint8_t>(grf[at + 18]);
    g.reserved = static_cast<uint8_t>(grf[at + 19]);
    if (g.size != 8ull * (g.memberCount + g.relCount)) return "group size does not match";
    if (uint64_t{g.offset} + g.size > grv.size()) return "group data beyond grv";
    for (uint64_t p = g.offset; p < uint64_t{g.offset} + g.size; p += 8) {
      g.entries.push_back({be32(grv, p), static_cast<uint8_t>(grv[p + 4]),
                           static_cast<uint8_t>(grv[p + 5]), static_cast<uint8_t>(grv[p + 6]),
                           static_cast<uint8_t>(grv[p + 7])});
    }
    m->groups.push_back(std::move(g));
  }
  return "";
}

CNETSTATUS compileFile(const std::string& dir, const std::string& name, const std::string& path,
                       uint8_t codePage, uint16_t flags) {
  CNETDEF def{};
  def.kind = CNET_DEF_FILE;
  def.path = path.c_str();
  CNETCODE code{};
  code.codePage = codePage;
  CNETEXEC exec{};
  exec.flags = flags;
  CNETSTATUS st = clearStatus();
  zolCNETregist(name.c_str(), dir.c_str(), &def, &code, &exec, nullptr, &st);
  return st;
}

CNETSTATUS compileText(const std::string& dir, const std::string& name, const std::string& text,
                       uint8_t codePage, uint16_t flags) {
  std::string path = dir + "/" + name + ".def";
  writeFile(path, text);
  return compileFile(dir, name, path, codePage, flags);
}

CNETSTATUS dumpFile(const std::string& dir, const std::string& name, const std::string& path) {
  CNETDEF output{};
  output.kind = CNET_DEF_FILE;
  output.path = path.c_str();
  CNETEXEC exec{};
  exec.flags = CNET_EXEC_REPLACE;
  CNETSTATUS st = clearStatus();
  zolCNETdump(name.c_str(), dir.c_str(), nullptr, &output, &exec, 0, &st);
  return st;
}

CNETTERM termOf(const std::string& text, uint8_t wildcard) {
  CNETTERM t{};
  t.length = static_cast<uint16_t>(text.size());
  std::memcpy(t.text, text.data(), std::min(text.size(), sizeof t.text));
  t.weight = 100;
  t.options[0] = wildcard;
  return t;
}

CNETCOND condOf(uint8_t relations, uint32_t maxTerms, int32_t maxDepth, uint8_t minStrength) {
  CNETCOND c{};
  c.relations = relations;
  c.maxTerms = maxTerms;
  c.maxDepth = maxDepth;
  c.minStrength = minStrength;
  return c;
}

Answer lookUp(void** cell, const std::string& dirs, const std::string& name,
              const std::string& word, const CNETCOND& cond) {
  const CNETTERM term = termOf(word);
  Answer a{clearStatus(), std::vector<CNETRESENT>(cond.maxTerms + 1)};
  CNETRESULT result{a.entries.data(), 0};
  zolCNETrefer(cell, name.c_str(), dirs.c_str(), &term, &cond, 0, &result, &a.status);
  a.entries.resize(result.count);
  return a;
}

std::string describe(const std::vector<CNETRESENT>& entries, const std::string& separator) {
  std::string s;
  for (const CNETRESENT& e : entries) {
    s.append(e.text, e.length);
    s += ' ' + std::to_string(e.depth) + ' ' + std::to_string(e.strength) + ' ' +
         std::to_string(e.relation.type) + '.' + std::to_string(e.relation.number) + ' ' +
         std::to_string(e.parent) + separator;
  }
  return s;
}

}  // namespace testsupport
