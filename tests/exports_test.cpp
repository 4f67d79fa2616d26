// The shared library exports the engine's, the indexing engine's and the lookup API's entry
// points by their names, with C linkage, and hides everything else.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

TEST(SharedLibrary, ExportsEveryEntryPointAndHidesInternals) {
  void* const handle = dlopen(THESAURUS_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << dlerror();
  const char* exported[] = {
      // The engine's operations.
      "zolCNETregist", "zolCNETrefer", "zolCNETrefer_Release", "zolCNETexpandSearchCond",
      "zolCNETexpandSearchCond_Release", "zolCNETverify", "zolCNETdump", "zolCNETclear",
      "zolCNETgetInfo", "zolCNETgetMessage", "cnetVersion",
      // The engine's routines exported by name.
      "cnetCorrectNames", "cnetSetCNETCTL", "cnetConvertStatus_ZOL_CNET", "cnetTimef",
      "cnetProgress", "cnetWarnf", "cnetMemNonZero", "cnetLock_DirName", "cnetLock", "cnetUnlock",
      "cnetRelMake", "cnetRelCopy", "cnetRelCategory", "cnetRelId", "cnetRelCmp", "cnetRelReverse",
      "cnetRelValid", "cnetRelConvert_REL_RELATION", "cnetRelConvert", "cnetRelSame", "cnetSetBit",
      "cnetCheckBit", "cnetWdvRelCmp", "cnetWdvRelInvalid", "cnetWdvRelCheck", "cnetDefOpen",
      "cnetDefRead", "cnetDefReadStream1", "cnetDefClose", "cnetDefWrite", "cnetDefWriteStream1",
      "CopyStrWords", "CopyStrSpace", "xstrtol", "cnetExist", "cnetOpen", "cnetClose",
      "cnetReadHead", "cnetWriteHead", "cnetPointEndSetSize", "cnetReadWord", "cnetWriteWord",
      "cnetReadGroup", "cnetWriteGroup", "cnetCopy", "cnetRename", "XXrename", "cnetDelete",
      "cnetAccess", "cnetWord_WordID", "cnetWord_WordID_Release", "cnetSameGroupId",
      "cnetGrpIdCheck", "cnetStrNDup", "cnetWordCmp", "cnetOccCmp", "cnetGRVcmp", "cnetGrpIdCmp",
      "cnetWrdGrpCmp", "cnetWrdGrpGrpCmp", "cnetWrdGrpGrpIdCmp", "cnetWrdGrpIdCmp",
      "cnetZOLnormalizeWord", "cnetZOLnormalizeWordLength", "cnetZOLunnormalizeWord", "cnetTmpOpen",
      "cnetTmpWrite", "cnetTmpRead", "cnetTmpReadSorted", "cnetTmpClose", "cnetTmpDelete",
      // The indexing engine.
      "ZOLcreateIndexInit", "ZOLcreateItemIndexOneDoc", "ZOLcreateIndexLast", "ZOLcreateIndexTerm",
      "ZOLsearchIndex", "ZOLsearchIndex_OpenResult", "ZOLsearchIndex_GetResult",
      "ZOLsearchIndex_CloseResult", "ZOLsearchIndex_ReleaseResult", "ZOLsearchIndex_Release",
      "ZOLverifyIndex", "ZOL_deleteIndex", "ZOLnormalizeWord", "ZOLunnormalizeWord",
      "ZOLconvertSearchCond", "ZOLconvertSearchCond_Mix", "ZOLconvertSearchCond_Release",
      "ZOLformatSearchCond", "ZOLgetMessage",
      // The flat lookup API.
      "tykHandleNewThesaurusLookup", "tykHandleDeleteThesaurusLookup",
      "tykThesaurusLookupSetRelationTypes", "tykThesaurusLookupAddRelation",
      "tykThesaurusLookupSetTermLimit", "tykThesaurusLookupSetDepth",
      "tykThesaurusLookupSetStrength", "tykThesaurusLookupSetMasks", "tykThesaurusLookupPerform",
      "tykThesaurusLookupObtainHighestTerms", "tykThesaurusLookupObtainProperties",
      "tykThesaurusLookupObtainResultInformation", "tykThesaurusEntryObtainData",
      // The Thai functions of the indexing engine.
      "tykThaiCreateBreakIterator", "tykThaiProcessing", "tykThaiDestroyBreakIterator",
      // Classes of the name maps, index files and normalizers, by type information or constructor.
      "_ZTI13TykClMapABase", "_ZTI17TykClFieldNameMap", "_ZTI21TykClAttributeNameMap",
      "_ZTI17TykClIndexFileMgr", "_ZTI18TykClIndexFileBase", "_ZN13TykClMapArrayC1Ejj",
      "_ZN17TykClMapHashtableC1Ej", "_ZNK13TykStMapEntry7displayERSo",
      "_ZN18TykClIndexLocationC1EPKcS1_S1_", "_ZN18TykClNormalization23createDefaultNormalizerEv",
      "_ZN18TykClNormalization17destroyNormalizerEPS_", "_ZN23TykClNormalizationTableC1Ebb"};
  for (const char* name : exported)
    EXPECT_NE(dlsym(handle, name), nullptr) << name;
  // Internal helpers stay inside the library.
  EXPECT_EQ(dlsym(handle, "_Z15cnetShortenNamePcPKc"), nullptr);
  EXPECT_EQ(dlsym(handle, "_Z6cnetOsv"), nullptr);
  dlclose(handle);
}

// The standard library's inline functions and their static data, instantiated in the library's
// objects, must not be exported: a program would bind to our copies of them.
TEST(SharedLibrarySymbols, NoStandardLibrarySymbolIsExported) {
  FILE* nm = popen("nm -D --defined-only -C '" THESAURUS_LIBRARY "'", "r");
  ASSERT_NE(nm, nullptr);
  char line[4096];
  int symbols = 0;
  std::string leaked;
  while (std::fgets(line, sizeof line, nm) != nullptr) {
    ++symbols;
    std::string name(line);
    name = name.substr(name.find(' ', name.find(' ') + 1) + 1);  // after address and kind
    for (const char* prefix :
         {"std::", "__gnu_cxx::", "__cxxabiv1::", "typeinfo for std::", "typeinfo name for std::",
          "vtable for std::", "guard variable for std::"}) {
      if (name.rfind(prefix, 0) == 0) leaked += name;
    }
  }
  EXPECT_EQ(pclose(nm), 0);
  EXPECT_GT(symbols, 100);
  EXPECT_EQ(leaked, "");
}

}  // namespace
