// Term lookup on a reading session that is already open, for the operations that look up
// several terms under one existence check, read lock and open (the expansion).
#ifndef THESAURUS_ENGINE_CNET_REFER_H
#define THESAURUS_ENGINE_CNET_REFER_H

#include "cnet_reader.h"
#include "thesaurus_engine/cnet.h"

// What zolCNETrefer does once its arguments are checked and the dictionary's word files are
// open in session: the checks of the term, then the top terms (term null) or the related terms
// of term into result (whose count is reset), with failures in status. searchContext is the
// word index search cell, as zolCNETrefer's.
void cnetReferOnSession(CnetReadSession& session, void** searchContext, const CNETTERM* term,
                        const CNETCOND& condition, CNETRESULT& result, CNETSTATUS* status);

#endif  // THESAURUS_ENGINE_CNET_REFER_H
