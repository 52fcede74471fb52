// Which folder levels of a path lie in the web stack folder c:\xampp, a tree
// every user of the PC may change: the elevated tool reaches each of them
// without following a link (services/link_free_path.h). Pure.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// A path below c:\xampp taken apart: the web stack folder as the path spells
// it ("C:\xampp" or "c:\xampp", no trailing separator), then each level from
// its child down to the file itself, each as a whole path.
struct XamppPathLevels {
    std::wstring root;
    std::vector<std::wstring> levels;
};

// The levels of `path` when it lies below c:\xampp; nothing in `levels` when
// it lies elsewhere or is c:\xampp itself. Letter case does not count, / is
// taken as \, repeated separators as one and a trailing one is dropped; the
// caller hands a full path ("." and ".." already resolved).
XamppPathLevels xampp_path_levels(std::wstring_view path);

bool lies_under_xampp(std::wstring_view path);
