/* Common services: tracing.
 *
 * Tracing is on while gs_pclCosTraceInstance is not null; it starts null and only a caller
 * installs an instance (no environment variable or file turns it on). An instance records two
 * kinds of event: function entry and exit (dumpFunction) and values (its data function, a plain
 * function with a context pointer). The base class writes one text line per event to the
 * stream it was given (nothing when that is null); a derived class may record differently.
 *
 * Threads: the global is not locked; install or remove an instance while no other thread
 * traces.
 */
#ifndef COMMON_SERVICES_COS_TRACE_H
#define COMMON_SERVICES_COS_TRACE_H

#include <cstddef>
#include <cstdio>

#include "thesaurus_export.h"

/* Event types. */
#define COS_TRACE_ENTRY 1u
#define COS_TRACE_EXIT 2u
#define COS_TRACE_POINTER 7u   /* value: the address of a pointer, its size */
#define COS_TRACE_STRING 8u    /* value: the characters, their count */
#define COS_TRACE_SIGNED 15u   /* value: the address of a signed integer, its size */
#define COS_TRACE_UNSIGNED 16u /* value: the address of an unsigned integer, its size */

class THES_EXPORT CosClTraceInstance {
 public:
  using DataFunction = void (*)(void* context, unsigned int detail, unsigned int id,
                                unsigned int type, const char* function, const char* item,
                                const void* value, std::size_t size);

  // Events go to sink as text lines (sink null: nowhere). The data function starts as the
  // one that writes to sink, with this instance as its context.
  explicit CosClTraceInstance(std::FILE* sink = nullptr);
  virtual ~CosClTraceInstance();
  CosClTraceInstance(const CosClTraceInstance&) = delete;
  CosClTraceInstance& operator=(const CosClTraceInstance&) = delete;

  // Records entry (COS_TRACE_ENTRY) or exit (COS_TRACE_EXIT) of function.
  virtual void dumpFunction(unsigned int detail, unsigned int id, unsigned int type,
                            const char* function);

  void setDataFunction(DataFunction function, void* context);
  DataFunction getDataFunction() const { return iv_pfuData; }
  void* getDataContext() const { return iv_pvDataContext; }
  // Passes a value to the data function.
  void dumpData(unsigned int detail, unsigned int id, unsigned int type, const char* function,
                const char* item, const void* value, std::size_t size) const;

 protected:
  std::FILE* getSink() const { return iv_pSink; }

 private:
  static void writeData(void* context, unsigned int detail, unsigned int id, unsigned int type,
                        const char* function, const char* item, const void* value,
                        std::size_t size);

  std::FILE* iv_pSink; /* not owned */
  DataFunction iv_pfuData;
  void* iv_pvDataContext;
};

/* The active trace instance, or null when tracing is off. Not owned by the library. */
extern THES_EXPORT CosClTraceInstance* gs_pclCosTraceInstance;

/* Records a block of length characters (an exception's context text, for example) under item
 * through the active instance's data function; does nothing when tracing is off. */
THES_EXPORT void cosTraceDump(unsigned int detail, unsigned int id, unsigned int type,
                              const char* origin, const char* item, const char* text,
                              std::size_t length);

#endif /* COMMON_SERVICES_COS_TRACE_H */
