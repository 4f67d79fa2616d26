// The field name map and the attribute name map: NUL-terminated names stored with their zero
// byte, 16-bit numbers, and the routing of attribute types to the two attribute maps.
#include "tyk_common/tyk_map_names.h"

#include <cstring>

#include "tyk_common/tyk_exception.h"
#include "tyk_common/tyk_indexfile_mgr.h"

namespace {

// Field map: "tf", 32768 numbers (32767 names), grown by 255, 255 buckets.
constexpr uint32_t kFieldMax = 32768, kFieldInitial = 255, kFieldBuckets = 255;
// First attribute map: "an", 32767 numbers; second: "as", 254 numbers.
constexpr uint32_t kFirstMax = 32767, kFirstInitial = 255, kFirstBuckets = 255;
constexpr uint32_t kSecondMax = 254, kSecondInitial = 63, kSecondBuckets = 63;

// The stored length of a name: its characters and the zero byte. A null name throws reason 25.
uint32_t storedLength(const char* name) {
  if (name == nullptr) {
    TykClException exception(TYK_RC_ERROR, TYK_REASON_INVALID_PARAMETER, TYK_ACTION_ERROR, nullptr);
    exception.throwFrom("source/tyk_common/tyk_map_names:24", 24);
  }
  return static_cast<uint32_t>(std::strlen(name) + 1);
}

enum class Route { kNone, kFirst, kSecond };

// The attribute map that takes a type.
Route routeOf(TykEnAttributeType type) {
  switch (type) {
    case TYK_ATTRIBUTE_TYPE_0:
      return Route::kSecond;
    case TYK_ATTRIBUTE_TYPE_1:
    case TYK_ATTRIBUTE_TYPE_2:
      return Route::kFirst;
  }
  return Route::kNone;
}

}  // namespace

TykClFieldNameMap::TykClFieldNameMap(const TykClIndexLocation& location, TykClErrorInfo& errorInfo)
    : TykClMapABase(location, "tf", "tf$", errorInfo, kFieldMax, kFieldInitial, kFieldBuckets) {}

TykClFieldNameMap::~TykClFieldNameMap() = default;

void TykClFieldNameMap::mapFieldNameToNumber(const char* name, uint16_t& number) const {
  uint32_t found = 0;
  mapNameToNumber(name, storedLength(name), found);
  number = static_cast<uint16_t>(found);
}

void TykClFieldNameMap::assignFieldNameToNumber(const char* name, uint16_t& number, bool& isNew) {
  uint32_t assigned = 0;
  assignNameToNumber(name, storedLength(name), assigned, isNew);
  number = static_cast<uint16_t>(assigned);
}

TykClAttributeNameMap::TykClAttributeNameMap(const TykClIndexLocation& location,
                                             TykClErrorInfo& errorInfo)
    : iv_clFirstMap(location, "an", "an$", errorInfo, kFirstMax, kFirstInitial, kFirstBuckets),
      iv_clSecondMap(location, "as", "as$", errorInfo, kSecondMax, kSecondInitial, kSecondBuckets) {
}

TykClAttributeNameMap::~TykClAttributeNameMap() = default;

void TykClAttributeNameMap::init() {
  iv_clFirstMap.init();
  iv_clSecondMap.init();
}

void TykClAttributeNameMap::registerAtFileMgr(TykClIndexFileMgr& manager) {
  manager.registerForNotify(iv_clFirstMap);
  manager.registerForNotify(iv_clSecondMap);
}

void TykClAttributeNameMap::mapAttributeNameToNumber(const char* name, TykEnAttributeType type,
                                                     uint16_t& number) const {
  const Route route = routeOf(type);
  if (route == Route::kNone) return;
  const TykClMapABase& map = route == Route::kFirst ? iv_clFirstMap : iv_clSecondMap;
  uint32_t found = 0;
  map.mapNameToNumber(name, storedLength(name), found);
  number = static_cast<uint16_t>(found);
}

void TykClAttributeNameMap::assignAttributeNameToNumber(const char* name, TykEnAttributeType type,
                                                        uint16_t& number, bool& isNew) {
  const Route route = routeOf(type);
  if (route == Route::kNone) return;
  TykClMapABase& map = route == Route::kFirst ? iv_clFirstMap : iv_clSecondMap;
  uint32_t assigned = 0;
  map.assignNameToNumber(name, storedLength(name), assigned, isNew);
  number = static_cast<uint16_t>(assigned);
}
