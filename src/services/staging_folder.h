// Where the atomic rewrite of a file (services/text_file_edit.h) writes the
// new content before swapping it in.
#pragma once

#include <string>

// The folder of `target` (with its trailing separator), except for a file
// in the web server's document root or below it: that one is staged in the
// web stack folder above the root. The staged file holds the whole new
// content (for .env, the application's database credentials), and a
// process killed before the swap leaves it behind; in the document root
// anyone on the network could fetch it. The web stack folder is on the
// same volume, so the swap stays a rename. Paths compare without regard to
// letter case, with / and \ alike, as Windows compares them.
std::wstring staging_folder_for(const std::wstring& target);
