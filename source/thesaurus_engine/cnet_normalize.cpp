// Bridges from the engine's word forms to the indexing engine's normalization: stored words
// are the normalized (case-folded) form, the word index is searched with the display form.
#include <cstdlib>

#include "cnet_status.h"
#include "thesaurus_engine/cnet.h"

namespace {

constexpr int32_t kModeMatching = 2;        // the indexing engine's normalization for matching
constexpr uint32_t kErrTooLong = 4311;      // unnormalized word above 192 bytes
constexpr uint32_t kErrProbeMemory = 4315;  // scratch buffer of the length probe
constexpr uint8_t kUtf8 = 34;               // code page number of UTF-8

using EngineWordFunction = void (*)(uint8_t, const char*, int32_t, char*, int32_t, int32_t*,
                                    int32_t, ZOLSTATUS*);

// Runs a word function of the indexing engine in its matching mode; *produced receives the bytes
// written. False, with the engine's failure carried into status, when it fails.
bool runEngine(EngineWordFunction function, uint8_t codePage, const char* word, int32_t length,
               char* out, int32_t outSize, int32_t* produced, CNETSTATUS* status) {
  ZOLSTATUS engine;  // the word functions clear it first (1 KiB a call, for every word shown)
  *produced = 0;
  function(codePage, word, length, out, outSize, produced, kModeMatching, &engine);
  if (engine.retcode == 0) return true;
  cnetConvertStatus_ZOL_CNET(&engine, status);
  return false;
}

}  // namespace

THES_EXPORT void cnetZOLnormalizeWord(uint8_t codePage, const char* word, int32_t length, char* out,
                                      int32_t outSize, int32_t* outLength, CNETSTATUS* status) {
  int32_t produced = 0;
  if (runEngine(ZOLnormalizeWord, codePage, word, length, out, outSize, &produced, status)) {
    *outLength = produced;
  }
}

THES_EXPORT void cnetZOLunnormalizeWord(uint8_t codePage, const char* word, int32_t length,
                                        char* out, int32_t outSize, int32_t* outLength,
                                        CNETSTATUS* status) {
  int32_t produced = 0;
  if (!runEngine(ZOLunnormalizeWord, codePage, word, length, out, outSize, &produced, status)) {
    return;
  }
  if (produced > CNET_WORD_MAX) {
    cnetFail(status, CNET_UNEXPECTED, kErrTooLong);
    return;
  }
  *outLength = produced;
}

THES_EXPORT void cnetZOLnormalizeWordLength(uint8_t codePage, const char* word, int32_t length,
                                            int32_t* outLength, CNETSTATUS* status) {
  *outLength = 0;
  if (codePage != kUtf8 || length < 43 || length > CNET_TERM_MAX) return;
  const int32_t size = 3 * length;
  char* scratch = static_cast<char*>(std::malloc(static_cast<size_t>(size)));
  if (scratch == nullptr) {
    cnetFail(status, CNET_NO_MEMORY, kErrProbeMemory);
    return;
  }
  cnetZOLnormalizeWord(codePage, word, length, scratch, size, outLength, status);
  std::free(scratch);
}
