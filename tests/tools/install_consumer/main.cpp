// Compiles a definition file into a dictionary and looks one term up, through the installed
// headers and library only.
//   consumer <definition file> <directory> <term>
#include <cstdio>
#include <cstring>
#include <vector>

#include "thesaurus_engine/cnet.h"

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  CNETDEF def = {};
  def.kind = CNET_DEF_FILE;
  def.path = argv[1];
  CNETCODE code = {};
  code.codePage = 34;
  CNETEXEC exec = {};
  exec.flags = CNET_EXEC_REPLACE;
  CNETSTATUS status = {};
  zolCNETregist("consumer", argv[2], &def, &code, &exec, nullptr, &status);
  char text[CNET_MESSAGE_SIZE];
  if (status.retcode != 0) {
    zolCNETgetMessage(34, &status, text);
    std::fprintf(stderr, "%s\n", text);
    return 8;
  }
  CNETTERM term = {};
  term.length = static_cast<uint16_t>(std::strlen(argv[3]));
  if (term.length > CNET_TERM_MAX) return 2;
  std::memcpy(term.text, argv[3], term.length);
  term.weight = 100;
  CNETCOND cond = {};
  cond.relations = CNET_REL_SYNONYM;
  cond.maxTerms = 10;
  cond.maxDepth = 1;
  std::vector<CNETRESENT> entries(cond.maxTerms);
  CNETRESULT result = {entries.data(), 0};
  zolCNETrefer(nullptr, "consumer", argv[2], &term, &cond, 0, &result, &status);
  if (status.retcode != 0) {
    zolCNETgetMessage(34, &status, text);
    std::fprintf(stderr, "%s\n", text);
    return 8;
  }
  for (uint32_t i = 0; i < result.count; ++i) {
    std::printf("%.*s\n", static_cast<int>(entries[i].length), entries[i].text);
  }
  return 0;
}
