// The security the tool asks for on what it makes, as SDDL texts that the
// system turns into descriptors (services/secured_files.h), one per use,
// and whose owner it trusts. Pure: tested natively.
//
// Rights: FA all, FR read, FX execute. Trustees: SY SYSTEM, BA
// Administrators, BU Users, OW the owner's own rights. "P" protects the
// list from what the parent folder would hand down; OI and CI hand an ACE
// down to the files and folders made inside.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The folder fetched files land in and fetched programs run from: every
// user may create files in the temporary folder around it, but only SYSTEM
// and Administrators may write in this one. Users may read and run what it
// holds: the programs that run there without administrator rights (the
// import script and what it starts) must. The files made in it take the
// same list.
inline constexpr wchar_t kStagingFolderSddl[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)";

// The updater's home under Program Files: as Program Files itself, users
// read and run what it holds and change nothing.
inline constexpr wchar_t kUpdaterHomeSddl[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)";

// c:\xampp\instalador_zunaveri.exe and c:\xampp\wget.exe, which run with
// administrator rights: C:\xampp would let every user change them.
inline constexpr wchar_t kPlacedProgramSddl[] = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FRFX;;;BU)";

// The new content of a text file the tool edits, written beside it (or in
// C:\xampp for .env) before the swap: nobody but SYSTEM and Administrators
// may change, delete or replace it meanwhile. The swap gives it the
// edited file's own list.
inline constexpr wchar_t kStagedEditSddl[] = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;BU)";

// C:\ProgramData\Zunaveri, the operator's log folder: only SYSTEM and
// Administrators open it or anything in it; the log files and the log's lock
// file take the list. Users get nothing, not even reading: whoever may open
// a file may hold it open letting no one write, rename or empty it, and the
// log would stop for as long as they like.
inline constexpr wchar_t kLogFolderSddl[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// Whether a folder or file whose owner is `owner_sid` (a SID text such as
// "S-1-5-32-544") may be written into: SYSTEM, Administrators, or this
// process's own user `own_user_sid`, who is an administrator since the
// program asks for elevation (an elevated process's files belong to
// Administrators on Windows, to its user under Wine). SID texts compare
// without regard to letter case.
bool owner_is_trusted(std::wstring_view owner_sid, std::wstring_view own_user_sid);

// Why a file whose security is `sddl` (its owner and DACL as
// ConvertSecurityDescriptorToStringSecurityDescriptorW writes them,
// "O:BAD:P(A;;FA;;;SY)...") may hold what someone other than SYSTEM,
// Administrators or `own_user_sid` wrote: an owner that owner_is_trusted()
// refuses, no DACL or a NULL one (everyone may write), or an allow entry
// that applies to the file itself and grants anyone else a right to change
// it (write data, append, write attributes or extended attributes, delete,
// WRITE_DAC, WRITE_OWNER, generic write or all). A deny entry for Everyone
// takes its rights from the allow entries after it; other deny entries are
// not counted on, as who they cover is not known here. Rights the rule
// cannot read count as a right to change. Nothing when no one else could
// have written the file; otherwise the reason, in Portuguese, for the
// operator's log.
std::optional<std::wstring> others_may_write_reason(std::wstring_view sddl, std::wstring_view own_user_sid);
