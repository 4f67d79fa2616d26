// Relation model: stored relations (REL), the RELATION descriptors of the interface, RELSET
// filters with their 1-based bit sets, and the order and consistency of relation entries.
// Pure functions over caller-owned memory.
#include <cstring>

#include "cnet_relset.h"
#include "cnet_status.h"

namespace {

constexpr uint8_t kBitMask[8] = {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01};

// Location numbers of cnetRelConvert.
constexpr uint32_t kErrRelNumber = 4309;
constexpr uint32_t kErrRelType = 4310;

bool isNumberedId(uint8_t id) {
  return id >= 128;
}

// Sets bits 128 to 256: every numbered relation of a family.
void setAllNumbered(uint8_t* set) {
  set[15] |= 0x01;
  std::memset(set + 16, 0xFF, 16);
}

}  // namespace

THES_EXPORT uint32_t cnetRelMake(REL* rel, uint8_t category, uint8_t id) {
  rel->category = category;
  rel->id = id;
  return category;
}

THES_EXPORT void cnetRelCopy(REL* destination, const REL* source) {
  *destination = *source;
}

THES_EXPORT uint32_t cnetRelCategory(const REL* rel) {
  return rel->category;
}

THES_EXPORT uint32_t cnetRelId(const REL* rel) {
  return rel->id;
}

THES_EXPORT int32_t cnetRelCmp(const REL* a, const REL* b) {
  if (a->category != b->category) return int32_t{a->category} - int32_t{b->category};
  return int32_t{a->id} - int32_t{b->id};
}

THES_EXPORT void cnetRelReverse(REL* destination, const REL* source) {
  *destination = cnetRelReversed(*source);
}

THES_EXPORT int32_t cnetRelValid(const REL* rel) {
  uint8_t c = rel->category;
  bool categoryOk = c <= CNET_CAT_SYMMETRIC || c == CNET_CAT_MEMBER;
  bool idOk = rel->id <= CNET_ID_RELATED || isNumberedId(rel->id);
  return categoryOk && idOk ? 1 : 0;
}

THES_EXPORT void cnetRelConvert_REL_RELATION(RELATION* out, const REL* in) {
  std::memset(out, 0, sizeof *out);
  switch (in->category) {
    case CNET_CAT_SYMMETRIC:
      out->type = in->id == CNET_ID_NAMED     ? CNET_RELTYPE_SYNONYM
                  : in->id == CNET_ID_RELATED ? CNET_RELTYPE_RELATED
                                              : CNET_RELTYPE_USER_SYMMETRIC;
      break;
    case CNET_CAT_HIGHER:
      out->type = in->id == CNET_ID_NAMED ? CNET_RELTYPE_HIGHER : CNET_RELTYPE_USER_HIGHER;
      break;
    case CNET_CAT_LOWER:
      out->type = in->id == CNET_ID_NAMED ? CNET_RELTYPE_LOWER : CNET_RELTYPE_USER_LOWER;
      break;
    default:
      return;
  }
  if (out->type >= CNET_RELTYPE_USER_SYMMETRIC) {
    out->number = static_cast<uint8_t>(in->id - CNET_ID_NUMBERED);
  }
}

THES_EXPORT void cnetRelConvert(uint8_t namedFlags, uint8_t numberedFlags, int32_t count,
                                const RELATION* list, RELSET* out, CNETSTATUS* status) {
  std::memset(out, 0, sizeof *out);
  if (namedFlags & CNET_REL_SYNONYM) cnetSetBit(out->symmetric, CNET_ID_NAMED);
  if (namedFlags & CNET_REL_RELATED) cnetSetBit(out->symmetric, CNET_ID_RELATED);
  if (namedFlags & CNET_REL_HIGHER) cnetSetBit(out->higher, CNET_ID_NAMED);
  if (namedFlags & CNET_REL_LOWER) cnetSetBit(out->lower, CNET_ID_NAMED);
  if (numberedFlags & CNET_USER_SYMMETRIC) setAllNumbered(out->symmetric);
  if (numberedFlags & CNET_USER_HIGHER) setAllNumbered(out->higher);
  if (numberedFlags & CNET_USER_LOWER) setAllNumbered(out->lower);
  if (count < 1 || list == nullptr) return;
  for (int32_t i = 0; i < count; ++i) {
    const RELATION& r = list[i];
    if (r.number < 1 || r.number > 128) {
      cnetFail(status, CNET_PARAMETER, kErrRelNumber);
      return;
    }
    uint32_t bit = uint32_t{r.number} + CNET_ID_NUMBERED;
    switch (r.type) {
      case CNET_RELTYPE_USER_SYMMETRIC:
        cnetSetBit(out->symmetric, bit);
        break;
      case CNET_RELTYPE_USER_HIGHER:
        cnetSetBit(out->higher, bit);
        break;
      case CNET_RELTYPE_USER_LOWER:
        cnetSetBit(out->lower, bit);
        break;
      default:
        cnetFail(status, CNET_PARAMETER, kErrRelType);
        return;
    }
  }
}

THES_EXPORT uint32_t cnetRelSame(RELSET set, REL rel) {
  return cnetRelInSet(set, rel);
}

THES_EXPORT void cnetSetBit(uint8_t* set, uint32_t n) {
  if (n < 1 || n > 256) return;
  set[(n - 1) / 8] |= kBitMask[(n - 1) % 8];
}

THES_EXPORT uint32_t cnetCheckBit(const uint8_t* set, uint32_t n) {
  return cnetBitIsSet(set, n);
}

THES_EXPORT int32_t cnetWdvRelCmp(const CNETRELENT* a, const CNETRELENT* b) {
  // Targets compare by their difference taken as a signed 32-bit number.
  if (a->target != b->target) return static_cast<int32_t>(a->target - b->target);
  if (a->rel.category != b->rel.category) {
    return int32_t{a->rel.category} - int32_t{b->rel.category};
  }
  if (a->rel.id != b->rel.id) return int32_t{a->rel.id} - int32_t{b->rel.id};
  return int32_t{a->strength} - int32_t{b->strength};
}

THES_EXPORT int32_t cnetWdvRelInvalid(uint32_t w, const CNETRELENT* a, const CNETRELENT* b) {
  if (a->target != b->target) return 0;
  if (a->rel.category == CNET_CAT_HIGHER && b->rel.category == CNET_CAT_LOWER) {
    return a->target < w ? 1 : -1;
  }
  if (a->rel.category == CNET_CAT_LOWER && b->rel.category == CNET_CAT_HIGHER) {
    return a->target < w ? -1 : 1;
  }
  return 0;
}
