#pragma once
// A PolicyDefinitions folder of the size Windows 11 ships, made at run time: about 230 .admx
// files with their en-US .adml files, about 4,500 policies of every kind of value, help texts
// of the length Microsoft's have, and one very large file as inetres.admx is.

#include <map>
#include <string>

namespace bench {

// Relative path ("x.admx", "en-US\x.adml") to the file's bytes; the same on every run.
std::map<std::string, std::string> MakePolicyDefinitions(int files = 230);

}  // namespace bench
