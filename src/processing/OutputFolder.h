#pragma once
// Where a batch writes.

#include <string>

namespace quorvane {

// The name of the output folder a batch writes into below its source folder.
inline constexpr const char* kDefaultOutputFolderName = "quorvane-conv";

// The output folder of a batch whose source folder is `source`, from the folder the user
// chose (`chosen`, as typed): trailing blanks and one trailing "/" are ignored (the root
// "/" stays "/"). Nothing chosen, or the source itself, gives source + "/quorvane-conv";
// any other folder is answered as chosen.
std::string OutputFolderFor(const std::string& source, const std::string& chosen);

}  // namespace quorvane
