// Fuzz target of the dictionary readers. A small dictionary (every relation kind, a few dozen
// words) is compiled once per process; each input is a list of damage operations applied to a
// pristine copy of its files, after which the dictionary is verified, looked up (a few terms
// and the top terms), dumped (whole and for one term) and described. Every call must end in a
// status, never a crash, leak or hang; no call may leave a file descriptor open; and a
// dictionary that verifies must be described by zolCNETgetInfo as its header says.
//
// Input: operations back to back, each a code byte and its arguments; an operation cut short
// by the end of the input is dropped. Files: 0 "wdf", 1 "wdv", 2 "grf", 3 "grv", 4 the word
// index; offsets are taken modulo the file's size, 16-bit and 32-bit values big-endian.
//   code % 8 = 0  set byte        file, offset16, value8
//              1  xor byte        file, offset16, mask8
//              2  put 32 bits     file, offset16, value32
//              3  truncate        file, length16 (modulo size + 1)
//              4  append          file, count8 (modulo 64), value8
//              5  header field    field8, value32: field % 11 names the 32-bit field at
//                                 4 x field; with bit 7 set the low byte of value is added to
//                                 the field as a signed delta, else the field is set
//              6  word            id8, part8, offset8, value32: part & 3 picks the record (20
//                                 bytes), the padded text, the group ids or the relation
//                                 entries of word id (modulo the word count) as laid out by the
//                                 compiler; part & 4 writes only the low byte of value
//              7  group           id8, part8, offset8, value32: part & 1 picks the record or
//                                 the entries; part & 4 as for words

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "cnet_os_cache.h"
#include "fuzz_support.h"
#include "thesaurus_engine/cnet.h"
#include "zol_index_cache.h"

namespace {

namespace fs = std::filesystem;

constexpr char kName[] = "thes";
constexpr int kFiles = 5;
constexpr const char* kExtensions[kFiles] = {"wdf", "wdv", "grf", "grv", "wix"};

constexpr char kDefinition[] =
    "* every block kind and every relation line kind, named and numbered\n"
    ":WORDS:SYNONYM\ncar\nauto:80\nautomobile\n.HIGHER_THAN vehicle:70\n"
    ".RELATED_TO road:60\n.LOWER_THAN(4) sedan\n"
    ":WORDS:RELATED\nroad\nlane:30\nstreet\n.LOWER_THAN transport\n.SYNONYM_OF(2) highway:90\n"
    ":WORDS:RELATED(12)\nvehicle\nconveyance\n.HIGHER_THAN(7) bicycle:40\n.RELATED_TO(3) wheel\n"
    ":WORDS\ntransport\ntransit:20\n.SYNONYM_OF carriage\n.HIGHER_THAN(128) ship\n"
    ":WORDS:SYNONYM\nship\nvessel\nboat:55\n.LOWER_THAN transport:99\n.RELATED_TO(1) sea\n"
    ":WORDS\nnew york\nbig apple\n.RELATED_TO city:10\n.HIGHER_THAN manhattan\n"
    ":WORDS:RELATED(128)\ncity\ntown\nvillage:1\n.SYNONYM_OF(128) municipality\n"
    ":WORDS\nsea\nocean\n.LOWER_THAN water\n.HIGHER_THAN(1) wave:100\n"
    ":WORDS:SYNONYM\nwheel\ntyre\n.RELATED_TO(64) road\n";

using fuzzsupport::check;
using fuzzsupport::die;
using fuzzsupport::readAll;
using fuzzsupport::writeAll;

uint32_t getBE32(const std::string& s, size_t at) {
  if (at + 4 > s.size()) return 0;
  const auto* b = reinterpret_cast<const unsigned char*>(s.data() + at);
  return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

// Writes the bytes of value (4, or only the low one) at `at`, as far as they fall in the file.
void putValue(std::string* s, size_t at, uint32_t value, bool lowByteOnly) {
  if (lowByteOnly) {
    if (at < s->size()) (*s)[at] = static_cast<char>(value);
    return;
  }
  for (size_t i = 0; i < 4; ++i) {
    if (at + i < s->size()) (*s)[at + i] = static_cast<char>(value >> (24 - 8 * i));
  }
}

// A section of the pristine files: [offset, offset + size) of one file.
struct Section {
  int file;
  uint32_t offset;
  uint32_t size;
};

// The compiled dictionary, its pristine files and the sections of its records.
struct Dictionary {
  std::string dir;
  std::string paths[kFiles];
  std::string pristine[kFiles];
  std::vector<Section> words[4];   // record, text, group ids, relation entries, per word id
  std::vector<Section> groups[2];  // record, entries, per group id

  Dictionary() {
    dir = fuzzsupport::newDirectory("dict_reader_fuzz");
    const std::string def = dir + "/thes.def";
    writeAll(def, kDefinition);
    CNETDEF source{};
    source.kind = CNET_DEF_FILE;
    source.path = def.c_str();
    CNETCODE code{};
    code.codePage = 34;
    CNETEXEC quiet{};
    quiet.flags = CNET_EXEC_REPLACE;
    CNETSTATUS st{};
    zolCNETregist(kName, dir.c_str(), &source, &code, &quiet, nullptr, &st);
    if (st.retcode != 0) die("the dictionary does not compile");
    for (int f = 0; f < kFiles; ++f) {
      paths[f] = dir + "/" + kName + "." + kExtensions[f];
      pristine[f] = readAll(paths[f]);
    }
    layOut();
  }
  ~Dictionary() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }

  void layOut() {
    const std::string& wdf = pristine[0];
    const uint32_t wordCount = getBE32(wdf, 8);
    const uint32_t groupCount = getBE32(wdf, 12);
    for (uint32_t id = 0; id < wordCount; ++id) {
      const uint32_t at = CNET_HEADER_SIZE + CNET_RECORD_SIZE * id;
      const uint32_t offset = getBE32(wdf, at);
      const uint32_t padded = (getBE32(wdf, at + 4) + 3) & ~3u;
      const uint32_t groupBytes = 4 * getBE32(wdf, at + 12);
      words[0].push_back({0, at, CNET_RECORD_SIZE});
      words[1].push_back({1, offset, padded});
      words[2].push_back({1, offset + padded, groupBytes});
      words[3].push_back({1, offset + padded + groupBytes, 8 * getBE32(wdf, at + 8)});
    }
    for (uint32_t id = 0; id < groupCount; ++id) {
      const uint32_t at = CNET_RECORD_SIZE * id;
      groups[0].push_back({2, at, CNET_RECORD_SIZE});
      groups[1].push_back({3, getBE32(pristine[2], at), getBE32(pristine[2], at + 4)});
    }
  }
};

Dictionary& dictionary() {
  static Dictionary d;
  return d;
}

// Reads the operations of the input and applies them to the files.
class Damage {
 public:
  Damage(const uint8_t* data, size_t size, std::string* files)
      : p_(data), end_(data + size), f_(files) {}

  void apply(const Dictionary& d) {
    uint8_t code;
    while (take(&code, 1)) {
      uint8_t a[7];
      switch (code % 8) {
        case 0:
        case 1:
          if (!take(a, 4)) return;
          if (std::string& s = f_[a[0] % kFiles]; !s.empty()) {
            char& c = s[be16(a + 1) % s.size()];
            c = static_cast<char>(code % 8 == 0 ? a[3] : c ^ a[3]);
          }
          break;
        case 2:
          if (!take(a, 7)) return;
          if (std::string& s = f_[a[0] % kFiles]; !s.empty()) {
            putValue(&s, be16(a + 1) % s.size(), be32(a + 3), false);
          }
          break;
        case 3:
          if (!take(a, 3)) return;
          f_[a[0] % kFiles].resize(be16(a + 1) % (f_[a[0] % kFiles].size() + 1));
          break;
        case 4:
          if (!take(a, 3)) return;
          f_[a[0] % kFiles].append(a[1] % 64, static_cast<char>(a[2]));
          break;
        case 5:
          if (!take(a, 5)) return;
          header(a[0], be32(a + 1));
          break;
        case 6:
        case 7:
          if (!take(a, 7)) return;
          record(code % 8 == 6 ? d.words : d.groups, code % 8 == 6 ? 4 : 2, a);
          break;
      }
    }
  }

 private:
  bool take(uint8_t* out, size_t n) {
    if (static_cast<size_t>(end_ - p_) < n) return false;
    std::memcpy(out, p_, n);
    p_ += n;
    return true;
  }
  static uint32_t be16(const uint8_t* b) { return (uint32_t{b[0]} << 8) | b[1]; }
  static uint32_t be32(const uint8_t* b) {
    return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
  }

  void header(uint8_t field, uint32_t value) {
    const size_t at = 4 * size_t{static_cast<uint8_t>(field & 0x7F) % 11u};
    if (field & 0x80)
      value = getBE32(f_[0], at) + static_cast<uint32_t>(static_cast<int8_t>(value));
    putValue(&f_[0], at, value, false);
  }

  // a: id, part, offset, value32.
  void record(const std::vector<Section>* parts, uint32_t partCount, const uint8_t* a) {
    const std::vector<Section>& sections = parts[(a[1] & 3) % partCount];
    if (sections.empty()) return;
    const Section& s = sections[a[0] % sections.size()];
    if (s.size == 0) return;
    putValue(&f_[s.file], size_t{s.offset} + a[2] % s.size, be32(a + 3), (a[1] & 4) != 0);
  }

  const uint8_t* p_;
  const uint8_t* end_;
  std::string* f_;
};

// Descriptors held open, but for the files the library keeps open between calls.
int openDescriptors() {
  cnetReadCacheClear();
  zol::clearIndexCache();
  int n = 0;
  for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
    (void)e;
    ++n;
  }
  return n;
}

CNETTERM termOf(const char* text, uint8_t wildcard) {
  CNETTERM t{};
  t.length = static_cast<uint16_t>(std::strlen(text));
  std::memcpy(t.text, text, t.length);
  t.weight = 100;
  t.options[0] = wildcard;
  return t;
}

void lookUp(const Dictionary& d) {
  static const RELATION kUser[2] = {{CNET_RELTYPE_USER_SYMMETRIC, 3, {}},
                                    {CNET_RELTYPE_USER_HIGHER, 7, {}}};
  CNETRESENT entries[24];
  CNETRESULT result{entries, 0};
  CNETCOND cond{};
  cond.relations = CNET_REL_SYNONYM | CNET_REL_RELATED | CNET_REL_HIGHER | CNET_REL_LOWER;
  cond.userFamilies = CNET_USER_LOWER;
  cond.userCount = 2;
  cond.userList = kUser;
  cond.maxTerms = 24;
  cond.maxDepth = 5;
  cond.minStrength = 1;
  void* cell = nullptr;
  const CNETTERM terms[] = {termOf("car", 0), termOf("Transport", 0), termOf("wh*", '*'),
                            termOf("absent", 0)};
  for (const CNETTERM& term : terms) {
    CNETSTATUS st{};
    zolCNETrefer(&cell, kName, d.dir.c_str(), &term, &cond, 0, &result, &st);
    check(result.count <= cond.maxTerms, "more results than room");
    for (uint32_t i = 0; i < result.count; ++i)
      check(entries[i].length <= CNET_WORD_MAX, "result text too long");
  }
  CNETSTATUS st{};
  zolCNETrefer_Release(&cell, &st);
  check(cell == nullptr, "search context kept");
  CNETCOND top{};
  top.maxTerms = 24;
  zolCNETrefer(nullptr, kName, d.dir.c_str(), nullptr, &top, 0, &result, &st);
  check(result.count <= top.maxTerms, "more top terms than room");
}

// Dumps the dictionary whole and for one term, and checks what zolCNETgetInfo says of it.
void dumpAndDescribe(const Dictionary& d, bool verified) {
  const std::string out = d.dir + "/out.def";
  CNETDEF output{};
  output.kind = CNET_DEF_FILE;
  output.path = out.c_str();
  CNETEXEC replace{};
  replace.flags = CNET_EXEC_REPLACE;
  CNETSTATUS st{};
  zolCNETdump(kName, d.dir.c_str(), nullptr, &output, &replace, 0, &st);
  const CNETTERM car = termOf("car", 0);
  zolCNETdump(kName, d.dir.c_str(), &car, &output, &replace, 0, &st);
  std::remove(out.c_str());

  CNETINFO info{};
  const uint32_t words = zolCNETgetInfo(kName, d.dir.c_str(), 0, &info, 0, &st);
  if (verified) {
    const std::string wdf = readAll(d.paths[0]);
    check(st.retcode == 0, "a verified dictionary has no information");
    check(info.words == getBE32(wdf, 8) - getBE32(wdf, 16), "present words");
    check(info.groups == getBE32(wdf, 12) - getBE32(wdf, 20), "present groups");
    check(words == info.words, "result of zolCNETgetInfo");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Dictionary& d = dictionary();
  std::string files[kFiles];
  for (int f = 0; f < kFiles; ++f)
    files[f] = d.pristine[f];
  Damage(data, size, files).apply(d);
  for (int f = 0; f < kFiles; ++f)
    writeAll(d.paths[f], files[f]);

  const int descriptors = openDescriptors();
  CNETEXEC quiet{};
  CNETSTATUS st{};
  zolCNETverify(kName, d.dir.c_str(), &quiet, 0, 0, &st);
  lookUp(d);
  dumpAndDescribe(d, st.retcode == 0);
  check(openDescriptors() == descriptors, "a file descriptor was left open");
  return 0;
}
