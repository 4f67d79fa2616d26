// Fuzz target of the import readers: the input is read as a synonym file and as SKOS in Turtle
// and in N-Triples (through serd and the external sorts). Every definition written must read
// back through the engine's definition reader without an error and without a block or a word
// dropped, as the writer promises; and SKOS read with a sort memory so small that every few
// records make a run, merged two at a time over several levels, must give the same definition
// and the same outcome as SKOS sorted in memory.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "definition_writer.h"
#include "fuzz_support.h"
#include "import_report.h"
#include "skos_reader.h"
#include "synonym_reader.h"
#include "thesaurus_engine/cnet.h"

namespace {

using fuzzsupport::check;

// A directory made once per process, for the input, the definitions and the sorts' files.
const std::string& workDirectory() {
  static const std::string path = fuzzsupport::newDirectory("import_fuzz");
  return path;
}

// The definition a reader writes, with the writer's counts, read through the engine.
struct Outcome {
  bool ok = false;
  std::string definition;
};

// Reads the definition at path with the engine's reader and checks it against the writer.
void checkDefinition(const std::string& path, const thestool::DefinitionWriter& writer) {
  CNETDEF source{};
  source.kind = CNET_DEF_FILE;
  source.path = path.c_str();
  CNETEXEC quiet{};
  DEFCTL def{};
  CNETSTATUS st{};
  cnetDefOpen(&def, &source, 34, "rb", &st);
  check(st.retcode == 0, "the definition cannot be opened");
  uint64_t blocks = 0, words = 0;
  for (;;) {
    cnetDefRead(&def, &quiet, &st);
    if (st.retcode != 0 || def.memberCount == 0) break;
    ++blocks;
    words += def.entryCount;
    check(def.memberCount >= 2 || def.relationCount >= 1, "a block with too little");
  }
  check(st.retcode == 0, "the engine's reader refuses the definition");
  check(blocks == writer.blocks(), "a block was dropped by the reader");
  check(words == writer.members() + writer.relations(), "a word was dropped by the reader");
  cnetDefClose(&def, &st);
}

template <typename Read>
Outcome run(const std::string& name, Read read) {
  const std::string path = workDirectory() + "/" + name + ".def";
  FILE* out = std::fopen(path.c_str(), "wb");
  check(out != nullptr, "cannot write a definition");
  thestool::DefinitionWriter writer(out);
  thestool::ImportReport report("import_fuzz", "input", true, true);
  Outcome outcome;
  outcome.ok = read(&writer, &report);
  check(!writer.failed(), "writing the definition failed");
  check(std::fclose(out) == 0, "closing the definition failed");
  outcome.definition = fuzzsupport::readAll(path);
  if (outcome.ok) checkDefinition(path, writer);
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input = workDirectory() + "/input";
  fuzzsupport::writeAll(input, std::string(reinterpret_cast<const char*>(data), size));

  run("synonyms", [&](thestool::DefinitionWriter* w, thestool::ImportReport* r) {
    FILE* in = std::fopen(input.c_str(), "rb");
    bool ok = thestool::readSynonyms(in, w, r);
    std::fclose(in);
    check(ok, "reading a synonym file failed");
    return ok;
  });

  for (bool turtle : {true, false}) {
    Outcome outcomes[2];
    for (int small = 0; small < 2; ++small) {
      thestool::SkosOptions options;
      options.turtle = turtle;
      options.tempDirectory = workDirectory();
      options.sortMemory = small ? 3 * 1024 : 3u << 20;
      options.maxFanIn = small ? 2 : 64;
      outcomes[small] = run("skos", [&](thestool::DefinitionWriter* w, thestool::ImportReport* r) {
        FILE* in = std::fopen(input.c_str(), "rb");
        std::string error;
        bool ok = thestool::readSkos(in, "input", options, w, r, &error);
        std::fclose(in);
        check(ok || !error.empty(), "a failed import without its reason");
        return ok;
      });
    }
    check(outcomes[0].ok == outcomes[1].ok, "the sort's memory changed the outcome");
    if (outcomes[0].ok)
      check(outcomes[0].definition == outcomes[1].definition,
            "the sort's memory changed the definition");
  }
  return 0;
}
