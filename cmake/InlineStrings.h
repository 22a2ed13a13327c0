// Forced into every translation unit of the Windows build (-include).
//
// libstdc++ declares its std::string and std::wstring instantiations extern, so that every
// member a program uses comes from the library's string-inst objects. Each of those objects is
// linked whole: the mingw linker keeps every .eh_frame section, and an object's unwind table
// refers to all of its functions, so --gc-sections cannot drop the members nobody calls (about
// 35 KB of code and unwind tables per object). The value -1 is the library's own switch that
// leaves only basic_string out of the extern declarations: the compiler then instantiates the
// members this program uses, and the string objects of the library are not linked at all.
#pragma once

#include <bits/c++config.h>

#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1
