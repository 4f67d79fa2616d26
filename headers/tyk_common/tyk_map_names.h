/* The field name map and the attribute name map of an index.
 *
 * Both map NUL-terminated names to unsigned 16-bit numbers through TykClMapABase maps
 * (tyk_map_abase.h), storing each name with its terminating zero byte (a name of n characters
 * takes n + 1 bytes in memory and in the map file). Number 1 answers a look-up of a missing
 * name (with a warning in the error information), so the first name gets number 2.
 *   - TykClFieldNameMap: map file "<index>.tf", shadow "<index>.tf$", up to 32767 names.
 *   - TykClAttributeNameMap: two maps chosen by attribute type. Types 100001 and 100002 use the
 *     first map ("an", "an$", up to 32766 names), type 100000 the second ("as", "as$", up to 253
 *     names). Other types touch no map and leave the out values as they are.
 * A full map throws TykClException with reason 404; a null name throws reason 25.
 *
 * Ownership: the maps refer to the caller's location and error information, which must
 * outlive them. The caller registers the field map, and the attribute map's two maps through
 * registerAtFileMgr, at the index file manager after init. Threads: one thread at a time.
 */
#ifndef TYK_COMMON_TYK_MAP_NAMES_H
#define TYK_COMMON_TYK_MAP_NAMES_H

#include <cstdint>

#include "thesaurus_export.h"
#include "tyk_common/tyk_map_abase.h"

class TykClIndexFileMgr;

/* Attribute types that choose an attribute map. */
enum TykEnAttributeType : uint32_t {
  TYK_ATTRIBUTE_TYPE_0 = 100000, /* the second map */
  TYK_ATTRIBUTE_TYPE_1 = 100001, /* the first map */
  TYK_ATTRIBUTE_TYPE_2 = 100002, /* the first map */
};

class THES_EXPORT TykClFieldNameMap : public TykClMapABase {
 public:
  TykClFieldNameMap(const TykClIndexLocation& location, TykClErrorInfo& errorInfo);
  ~TykClFieldNameMap() override;

  void mapFieldNameToNumber(const char* name, uint16_t& number) const;
  void assignFieldNameToNumber(const char* name, uint16_t& number, bool& isNew);
};

class THES_EXPORT TykClAttributeNameMap {
 public:
  // Builds the first map, then the second.
  TykClAttributeNameMap(const TykClIndexLocation& location, TykClErrorInfo& errorInfo);
  virtual ~TykClAttributeNameMap();
  TykClAttributeNameMap(const TykClAttributeNameMap&) = delete;
  TykClAttributeNameMap& operator=(const TykClAttributeNameMap&) = delete;

  // init of the first map, then of the second.
  void init();
  // Registers the first map, then the second.
  void registerAtFileMgr(TykClIndexFileMgr& manager);

  void mapAttributeNameToNumber(const char* name, TykEnAttributeType type, uint16_t& number) const;
  void assignAttributeNameToNumber(const char* name, TykEnAttributeType type, uint16_t& number,
                                   bool& isNew);

  TykClMapABase& getFirstMap() { return iv_clFirstMap; }
  TykClMapABase& getSecondMap() { return iv_clSecondMap; }

 private:
  TykClMapABase iv_clFirstMap;
  TykClMapABase iv_clSecondMap;
};

#endif /* TYK_COMMON_TYK_MAP_NAMES_H */
