// The class layer's message table, texts by number (see tyk_message_table.h).
#include "tyk_common/tyk_message_table.h"

const char* const gs_apszTykMessageTable[TYK_MESSAGE_COUNT + 1] = {
    /* 0 */ "[COS_MSGTAB_SIGNATURE] 147",
    /* 1 */ "Context",
    /* 2 */ "Index name",
    /* 3 */ "File name",
    /* 4 */ "Directory",
    /* 5 */ "Attribute name",
    /* 6 */ "Value",
    /* 7 */ "Document CCSID",
    /* 8 */ "Document language",
    /* 9 */ "Document format",
    /* 10 */ "Document model",
    /* 11 */ "Document name",
    /* 12 */ "Document number",
    /* 13 */ "Target directory",
    /* 14 */ "Kernel return code",
    /* 15 */ "Kernel error code",
    /* 16 */ "Processed index type",
    /* 17 */ "ERRNO variable",
    /* 18 */ "Kernel error info",
    /* 19 */ "Section",
    /* 20 */ "Option",
    /* 21 */ "Tag",
    /* 22 */ "Entity",
    /* 23 */ "Memory Pool (InitialSize/GrowthSize)",
    /* 24 */ "Name of Thesaurus definition file ",
    /* 25 */ "Currently used CCSID ",
    /* 26 */ "Configuration file name",
    /* 27 */ "COS Error Id",
    /* 28 */ "COS Error class",
    /* 29 */ "File close failed",
    /* 30 */ "File open failed",
    /* 31 */ "File read failed",
    /* 32 */ "File remove failed",
    /* 33 */ "File copy failed",
    /* 34 */ "File rename failed",
    /* 35 */ "File write failed",
    /* 36 */ "File position cannot be obtained",
    /* 37 */ "File write failed",
    /* 38 */ "Directory creation failed",
    /* 39 */ "Directory removal failed",
    /* 40 */ "Callback function failed",
    /* 41 */ "Invalid calling sequence",
    /* 42 */ "The system ran out of storage",
    /* 43 */ "The system needs more memory than allowed",
    /* 44 */ "Error in unified buffer management",
    /* 45 */ "Error in loading document models",
    /* 46 */ "Syntax error at (row, column)",
    /* 47 */ "Tag unexpected",
    /* 48 */ "Empty name parameter",
    /* 49 */ "Missing parameter",
    /* 50 */ "Invalid parameter",
    /* 51 */ "Invalid parameter value",
    /* 52 */ "Invalid XPath",
    /* 53 */ "Invalid token in XPath",
    /* 54 */ "Duplicate model definition for",
    /* 55 */ "Index data are invalid",
    /* 56 */ "Indexed information is in conflict with configuration file settings",
    /* 57 */ "Index does not exist",
    /* 58 */ "Mismatch of index and product version",
    /* 59 */ "Index name is invalid",
    /* 60 */ "Merge operation",
    /* 61 */ "Character normalization failed",
    /* 62 */ "Stopword file '%1' contains invalid character(s) or multiple entries at line",
    /* 63 */ "Invalid language specified for stopword file",
    /* 64 */ "Invalid input parameter",
    /* 65 */ "Attribute data are too long",
    /* 66 */ "Attribute number is too big",
    /* 67 */ "Attribute value is incorrect",
    /* 68 */ "Empty query",
    /* 69 */ "Handle to previous result contains ranked data or does not address hit information",
    /* 70 */ "Invalid filename",
    /* 71 */ "Previous result cannot be used",
    /* 72 */ "Illegal usage of character masks",
    /* 73 */ "Ranking cannot be done if result file is used",
    /* 74 */ "Not all available results were retrieved due to threshold settings",
    /* 75 */ "Attribute number overflow",
    /* 76 */ "Document number overflow",
    /* 77 */ "Document is too big",
    /* 78 */ "Field or attribute name to be mapped",
    /* 79 */ "f",
    /* 80 */ "ccsid",
    /* 81 */ "v",
    /* 82 */ "term",
    /* 83 */ "maxTerms",
    /* 84 */ "maxDepth",
    /* 85 */ "strength",
    /* 86 */ "relType",
    /* 87 */ "relName",
    /* 88 */ "targetDirectory",
    /* 89 */ "targetFile",
    /* 90 */ "check",
    /* 91 */ "recreate",
    /* 92 */ "clear",
    /* 93 */ "Thesaurus Compiler",
    /* 94 */
    "(-f <definition file>)\n(-ccsid <code page of definition file>)\n([-targetDirectory <name of "
    "existing directory where thesarus files will be generated>])\n([-v])\n",
    /* 95 */
    "Compile thesaurus:\n\n\t-f <definition file>\n\t\t relative or absolute file name \n\t-ccsid "
    "<code page of definition file>\n\t\t supported CCSIDs (depending on server platforms):\n\t\t "
    "1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258\n\t\t 819, 850, 874\n\t\t 932, 942, 943, "
    "5039, 954, 950, 949, 970, 1363\n\t\t 1381, 1383, 1386\n\t\t 1208\n\n\t-targetDirectory name "
    "of existing directory where thesarus files will be generated\n\t-v verbose mode\n\n",
    /* 96 */ "Thesaurus Lookup",
    /* 97 */
    "(-f <thesaurus file>)\n([-ccsid <code page of input term>])\n([-term <term to be looked "
    "up>])\n([-maxTerms <maximum number for terms to be retrieved>])\n([-maxDepth <maximum depth "
    "for terms to be retrieved>])\n([-strength <minimum strength for terms to be "
    "retrieved>])\n([-relType <relationship type to be used for term retrieval>])\n([-relName "
    "<relationship name to be used for term retrieval>])\n([-all])\n([-global])\n([-v])\n",
    /* 98 */
    "Lookup a thesaurus:\n\n\t-f <thesaurus file>\n\t\t relative or absolute file name for "
    "thesaurus\n\t-ccsid <code page of input term>\n\t must match the ccsid used when creating the "
    "thesaurus, one of :\n\t\t 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258\n\t\t 819, "
    "850, 874\n\t\t 932, 942, 943, 5039, 954, 950, 949, 970, 1363\n\t\t 1381, 1383, 1386\n\t\t "
    "1208\n\n\t-term input of phrase that should be looked up in the thesaurus\n\t-maxTerms "
    "threshold for terms to be retrieved from thesaurus\n\t-maxDepth threshold for depth of "
    "entries looked up in thesaurus\n\t-strength threshold for strength of terms to be retrieved, "
    "default is to retrieve all\n\t-relType relationship type to be used for term retrieval, "
    "default is to use all\n\t\t valid values:  UF(use for), RT (related to), NT (narrower term), "
    "BT (broader term)\n\t\t PT (preferred term) get synonym of highest strength \n\t-relName "
    "relationship number to use for lookup, default is to use all\n\t\t valid values are numbers "
    "in [0, 128]\n\t-all expands according to all relations\n\t-v verbose mode \n\t-global global "
    "information on thesaurus content\n",
    /* 99 */ "Thesaurus Administration",
    /* 100 */
    "(-f <fully qualified name of thesaurus dictionary>)\n{-check | -recreate | "
    "-clear}\n([-targetFile <new file name for recreated thesaurus definition file>])\n([-v])\n\n",
    /* 101 */
    "Lookup a thesaurus:\n\n\t-f <fully qualified name of thesaurus dictionary>\n\t-check: perform "
    "consistency check on dictionary | recreate: recreate definition file from dictionary | clear: "
    "remove all dictionary files\n\t\t-targetFile, needed when recreation of definition file is "
    "requested, name of new file containing data \n\t-v verbose mode \n\n",
    /* 102 */ "Parameter error: %1\n\tThe definition file does not exist.\n\n",
    /* 103 */ "Parameter error. \n\tNo definition file name specified.\n\n",
    /* 104 */
    "Parameter error: %1\n\tThe definition file path is too long.\n\tPath length must not exceed "
    "the maximum length supported for directory names in the operating system.\n\n",
    /* 105 */ "Parameter error: %1\n\tThe definition file name is too long.\n\n",
    /* 106 */ "Parameter error. \n\tNo target directory specified.\n\n",
    /* 107 */ "Internal unexpected error.",
    /* 108 */ "Internal parameter error.",
    /* 109 */ "Could not open file %1",
    /* 110 */ "Unexpected end of file in %1",
    /* 111 */ "Could not read file %1",
    /* 112 */ "Could not write file %1",
    /* 113 */ "Could not access file %1",
    /* 114 */ "Could not remove file %1",
    /* 115 */ "Could not rename file %1 to %2",
    /* 116 */ "Could not close file %1",
    /* 117 */ "Unexpected end of file in %1",
    /* 118 */ "Memory error.",
    /* 119 */ "Buffer overflow.",
    /* 120 */ "Could not lock dictionary %1",
    /* 121 */ "Thesaurus dictionary %1 is in use.",
    /* 122 */ "Output file %1 already exists.",
    /* 123 */ "Integrity of dictionary %1 is lost.",
    /* 124 */ "Dictionary %1 version error.",
    /* 125 */ "Dictionary %1 does not exist.",
    /* 126 */ "Dictionary %1 does exist.",
    /* 127 */ "Error in normalizing a term.",
    /* 128 */ "A term is specified incorrectly.",
    /* 129 */ "The specified term can not be found.",
    /* 130 */ "Internal error.",
    /* 131 */ "Error in definition file %1 at line %2.\n.",
    /* 132 */ "\t In File: %1\n",
    /* 133 */ "\t In File: %1 at line %2.",
    /* 134 */ "\t At line: %2.",
    /* 135 */ "\t Relationship type %1 is invalid.",
    /* 136 */ "\t Relationship name %1 is invalid.",
    /* 137 */ "\t Definition file %1 is empty.",
    /* 138 */ "\t No block starting line found in file %1 at line %2.",
    /* 139 */ "\t Relationship is specified incorrectly in file %1 at line %2.",
    /* 140 */ "\t Relationship is specified incorrectly in file %1 at line %2.",
    /* 141 */ "\t Relationship number is out of range in file %1 at line %2.",
    /* 142 */ "\t No terms are defined in file %1 at line %2.",
    /* 143 */ "\t Term is too long (max. 64 characters).",
    /* 144 */ "\t Strength is specified incorrectly.",
    /* 145 */ "\t Strength is out of range.",
    /* 146 */ "Invalid CCSID specified",
    "[COS_MSGTAB_SIGNATURE]",
};
