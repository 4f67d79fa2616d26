// Status reporting helpers and the conversion of indexing-engine statuses.
#include "cnet_status.h"

#include <cstring>

#include "thesaurus_status_name.h"

void cnetShortenName(char* field, const char* path) {
  thesShortenStatusName(field, path);
}

bool cnetFail(CNETSTATUS* status, uint32_t retcode, uint32_t errcode) {
  if (status == nullptr || status->retcode != 0) return false;
  status->retcode = retcode;
  status->errcode = errcode;
  return true;
}

bool cnetFailFile(CNETSTATUS* status, uint32_t retcode, uint32_t errcode, const char* path) {
  if (!cnetFail(status, retcode, errcode)) return false;
  cnetShortenName(status->filename, path);
  status->filename2[0] = '\0';
  return true;
}

bool cnetFailRename(CNETSTATUS* status, uint32_t retcode, uint32_t errcode, const char* from,
                    const char* to) {
  if (!cnetFail(status, retcode, errcode)) return false;
  cnetShortenName(status->filename, from);
  cnetShortenName(status->filename2, to);
  return true;
}

void cnetClearStatus(CNETSTATUS* status) {
  if (status != nullptr) std::memset(status, 0, sizeof *status);
}

THES_EXPORT void cnetConvertStatus_ZOL_CNET(const ZOLSTATUS* engine, CNETSTATUS* status) {
  if (engine == nullptr || status == nullptr) return;
  if (status->retcode != 0 || engine->retcode == 0) return;
  status->retcode = engine->retcode + CNET_ENGINE_BASE;
  status->errcode = engine->errcode + CNET_ENGINE_BASE;
  std::memcpy(status->filename, engine->filename, sizeof status->filename);
  std::memcpy(status->filename2, engine->filename2, sizeof status->filename2);
  status->filename[sizeof status->filename - 1] = '\0';
  status->filename2[sizeof status->filename2 - 1] = '\0';
}

THES_EXPORT const uint8_t* cnetMemNonZero(const uint8_t* area, int32_t length) {
  if (area == nullptr) return nullptr;
  for (int32_t i = 0; i < length; ++i) {
    if (area[i] != 0) return area + i;
  }
  return nullptr;
}
