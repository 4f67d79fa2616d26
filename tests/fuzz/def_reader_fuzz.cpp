// Fuzz target of the definition file reader: the input is written as a definition file and
// read to its end with a UTF-8 and an EBCDIC code page. Every read must end in success or in
// one of the reader's own statuses, with every entry inside the text buffer and the members
// before the relation entries.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "fuzz_support.h"
#include "thesaurus_engine/cnet.h"

namespace {

using fuzzsupport::check;

// The file the inputs go to, in a directory made once per process.
const std::string& inputPath() {
  static const std::string path = fuzzsupport::newDirectory("def_reader_fuzz") + "/def.txt";
  return path;
}

bool knownStatus(const CNETSTATUS& st) {
  switch (st.retcode) {
    case 0:
      return st.errcode == 0;
    case CNET_INPUT:
      return st.errcode >= 2 && st.errcode <= 10 && st.line > 0;
    case CNET_NO_MEMORY:
    case CNET_READ:
      return true;
    default:
      return st.retcode > CNET_ENGINE_BASE;  // the normalizer's own statuses
  }
}

void readAll(uint8_t codePage) {
  CNETDEF source{};
  source.kind = CNET_DEF_FILE;
  source.path = inputPath().c_str();
  CNETEXEC quiet{};  // no warnings on stderr
  DEFCTL def{};
  CNETSTATUS st{};
  cnetDefOpen(&def, &source, codePage, "rb", &st);
  check(st.retcode == 0, "open failed");
  uint32_t lastLine = 0;
  for (;;) {
    cnetDefRead(&def, &quiet, &st);
    if (st.retcode != 0 || def.memberCount == 0) break;
    check(def.entryCount == def.memberCount + def.relationCount, "counts");
    check(def.entryCount <= def.entryCapacity, "capacity");
    check(def.textUsed <= def.textSize, "text size");
    check(def.blockLine > lastLine || lastLine == 0, "block lines go back");
    lastLine = def.blockLine;
    for (uint32_t i = 0; i < def.entryCount; ++i) {
      const DEFENTRY& e = def.entries[i];
      check(e.length >= 1 && e.length <= CNET_WORD_MAX, "word length");
      check(static_cast<uint64_t>(e.textOffset) + e.length <= def.textUsed, "entry bounds");
      check(e.strength >= 1 && e.strength <= 100, "strength");
      check((i < def.memberCount) == (e.rel.category == CNET_CAT_MEMBER), "members first");
      check(cnetRelValid(&e.rel) == 1, "relation");
      check(e.line >= def.blockLine && e.line <= def.lineNumber, "entry line");
    }
  }
  check(knownStatus(st), "unknown status");
  cnetDefClose(&def, &st);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* f = std::fopen(inputPath().c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
  readAll(34);  // UTF-8
  readAll(25);  // EBCDIC US
  readAll(5);   // a single-byte ASCII-based code page
  return 0;
}
