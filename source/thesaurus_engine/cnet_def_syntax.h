// Character conventions of definition files: the keyword tables, the syntax characters and the
// blank, end-of-line and line-feed classes of ASCII-based and EBCDIC code pages. The definition
// reader and writer take every such byte from here, so the two code page families are decided
// in one place.
//
// Everything here is constant data and pure functions; safe from any thread.
#ifndef THESAURUS_ENGINE_CNET_DEF_SYNTAX_H
#define THESAURUS_ENGINE_CNET_DEF_SYNTAX_H

#include <cstddef>
#include <cstdint>

#include "thesaurus_engine/cnet.h"

// One keyword of a keyword table, in the code page's encoding.
struct CnetDefKeyword {
  char text[16];    // keyword bytes, zero-terminated
  uint32_t length;  // bytes of text
  REL rel;          // the relation the bare keyword stands for
  bool numbered;    // the form keyword(n) is allowed; it gives (rel.category, n + 127)
};

// An ordered keyword table; the first entry that matches wins.
struct CnetDefKeywordTable {
  const CnetDefKeyword* entries;  // the keywords in lookup order
  uint32_t count;                 // number of entries
};

// The syntax of one code page.
struct CnetDefSyntax {
  bool ebcdic;                        // EBCDIC code page (10 to 15, 25 to 33)
  char strengthMarker;                // starts the strength of a word specification
  char headLead;                      // first character of a block head line
  char relationLead;                  // first character of a relation line
  char commentLead;                   // first byte of a comment line
  char commentLead2;                  // second comment lead
  char openBracket;                   // opens a relation number
  char closeBracket;                  // closes a relation number
  const char* words;                  // ":WORDS", zero-terminated
  uint32_t wordsLength;               // 6
  CnetDefKeywordTable headTable;      // keywords after ":WORDS" on a head line
  CnetDefKeywordTable relationTable;  // first tokens of relation lines
};

// True for the EBCDIC code page numbers 10 to 15 and 25 to 33.
bool cnetDefIsEbcdic(uint8_t codePage);

// The syntax of a code page; numbers above 36 get the ASCII-based syntax.
const CnetDefSyntax& cnetDefSyntax(uint8_t codePage);

// The byte classes are inline: the reader tests every byte of a file.

// Blank class: trimmed at line and word ends, ends tokens. ASCII-based: 0 to 31, 0x20, 127;
// EBCDIC: 0 to 13, 16 to 63 and 0x40.
inline bool cnetDefIsBlank(bool ebcdic, uint8_t byte) {
  if (ebcdic) return byte <= 13 || (byte >= 16 && byte <= 63) || byte == 0x40;
  return byte <= 31 || byte == 0x20 || byte == 127;
}

// End-of-line class: LF and CR, or in EBCDIC CR, 0x25 and 0x15.
inline bool cnetDefIsEndOfLine(bool ebcdic, uint8_t byte) {
  if (ebcdic) return byte == 0x0D || byte == 0x25 || byte == 0x15;
  return byte == 0x0A || byte == 0x0D;
}

// Line-feed class, for counting CR LF as one line: LF, or in EBCDIC 0x15 and 0x25.
inline bool cnetDefIsLineFeed(bool ebcdic, uint8_t byte) {
  if (ebcdic) return byte == 0x15 || byte == 0x25;
  return byte == 0x0A;
}

// A read or write routine of a definition format; DEFCTL.format indexes a table of them.
using CnetDefRoutine = void (*)(DEFCTL*, const CNETEXEC*, CNETSTATUS*);

// Runs the routine of def->format from the count routines given; a format without one is
// CNET_PARAMETER with errcode. Nothing for a null def.
void cnetDefRunFormat(const CnetDefRoutine* routines, size_t count, DEFCTL* def,
                      const CNETEXEC* exec, CNETSTATUS* status, uint32_t errcode);

#endif  // THESAURUS_ENGINE_CNET_DEF_SYNTAX_H
