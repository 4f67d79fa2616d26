// A compiled dictionary read group by group (see dumped_dictionary.h).
#include "dumped_dictionary.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace thestool {

DumpedDictionary::~DumpedDictionary() {
  closeReader();
  if (!path_.empty()) ::unlink(path_.c_str());
  if (!directory_.empty()) ::rmdir(directory_.c_str());
}

void DumpedDictionary::closeReader() {
  if (!reading_) return;
  cnetDefClose(&reader_, nullptr);
  reading_ = false;
}

bool DumpedDictionary::open(const DictionaryPath& dict, std::string* error) {
  CNETINFO info = {};
  CNETSTATUS status = {};
  zolCNETgetInfo(dict.name.c_str(), dict.directory.c_str(), 0, &info, 0, &status);
  if (status.retcode != 0) {
    *error = engineMessage(status);
    return false;
  }
  codePage_ = info.codePage;
  ccsid_ = ccsidOfCodePage(codePage_);

  std::error_code ec;
  std::string pattern = (std::filesystem::temp_directory_path(ec) / "thesaurus-export.XXXXXX");
  if (ec) pattern = "/tmp/thesaurus-export.XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    *error = "cannot make a temporary directory " + pattern;
    return false;
  }
  directory_ = pattern;
  path_ = directory_ + "/dump.def";
  CNETDEF target = {};
  target.kind = CNET_DEF_FILE;
  target.path = path_.c_str();
  CNETEXEC quiet = {};
  zolCNETdump(dict.name.c_str(), dict.directory.c_str(), nullptr, &target, &quiet, 0, &status);
  if (status.retcode != 0) {
    *error = engineMessage(status);
    return false;
  }
  return rewind(error);
}

bool DumpedDictionary::rewind(std::string* error) {
  closeReader();
  CNETDEF source = {};
  source.kind = CNET_DEF_FILE;
  source.path = path_.c_str();
  CNETSTATUS status = {};
  cnetDefOpen(&reader_, &source, codePage_, "rb", &status);
  reading_ = true;
  if (status.retcode != 0) {
    *error = engineMessage(status);
    return false;
  }
  return true;
}

bool DumpedDictionary::next(Block* block, std::string* error) {
  if (!reading_) return false;
  CNETEXEC quiet = {};  // the dump reads back without warnings; none are shown
  CNETSTATUS status = {};
  cnetDefRead(&reader_, &quiet, &status);
  if (status.retcode != 0) {
    *error = engineMessage(status);
    return false;
  }
  if (reader_.memberCount == 0) return false;
  block->category = reader_.blockRel.category;
  block->id = reader_.blockRel.id;
  block->members.clear();
  block->relations.clear();
  for (uint32_t i = 0; i < reader_.entryCount; ++i) {
    const DEFENTRY& e = reader_.entries[i];
    BlockWord w;
    w.text.assign(reader_.text + e.textOffset, e.length);
    w.strength = e.strength;
    w.category = e.rel.category;
    w.id = e.rel.id;
    (i < reader_.memberCount ? block->members : block->relations).push_back(std::move(w));
  }
  return true;
}

}  // namespace thestool
