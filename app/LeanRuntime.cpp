// Replacements that keep parts of the C++ runtime and of libjpeg out of Setup.exe. Every byte
// of the program is carried twice (Setup.exe and the Uninst.exe copy), and the mingw linker
// cannot drop unused functions from an object it links: it keeps every .eh_frame section, and
// an object's unwind table refers to all of its functions. So whatever pulls in an object
// pulls in all of it. Only Setup.exe links this file; the tests use the libraries unchanged.
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "common/Errors.h"

extern "C" {
#include <jpeglib.h>

#include <jerror.h>
}

// The library's helpers that throw its standard errors (containers and strings out of range,
// allocations too large). The library's own versions construct std::logic_error and its kin,
// which hold a reference-counted string: that brings the library's objects for the old string,
// the random device and the new string along, about 80 KB with their unwind tables. Here the
// errors are the program's own Exception, with the library's message, so that the top level
// shows it as it shows every other error.
namespace std {

void __throw_bad_alloc() {
    throw std::bad_alloc();
}

void __throw_bad_array_new_length() {
    throw std::bad_array_new_length();
}

void __throw_logic_error(const char* message) {
    throw Exception(message);
}

void __throw_length_error(const char* message) {
    throw Exception(message);
}

// The format uses %zu and %s only (the index and size of a failed at()).
void __throw_out_of_range_fmt(const char* format, ...) {
    std::string message;
    va_list arguments;
    va_start(arguments, format);
    for (const char* p = format; *p; ++p) {
        if (p[0] == '%' && p[1] == 'z' && p[2] == 'u') {
            message += std::to_string(va_arg(arguments, size_t));
            p += 2;
        } else if (p[0] == '%' && p[1] == 's') {
            message += va_arg(arguments, const char*);
            ++p;
        } else if (p[0] == '%' && p[1] == '%') {
            message += '%';
            ++p;
        } else {
            message += *p;
        }
    }
    va_end(arguments);
    throw Exception(message);
}

// Thread creation, mutexes and condition variables report a failure of the system's call
// with its error code.
void __throw_system_error(int code) {
    throw Exception("System error " + std::to_string(code));
}

} // namespace std

// The library's default handler for an exception that nothing catches prints the exception's
// demangled type name to the standard error stream, which a GUI program does not have; it
// brings the whole name demangler along (about 45 KB). WinMain catches every exception, so this
// only runs when one escapes a destructor or a noexcept function: end the program as the
// default handler does after printing.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
} // namespace __gnu_cxx

// libjpeg's start-up selects its modules by the decompression parameters; these are reachable
// only through parameters the picture decoder never sets (colour quantization for palette
// output, merged upsampling without fancy upsampling, the fast and floating-point inverse
// DCTs). They fail as libjpeg does for a feature left out when it was built.
extern "C" {
void jinit_1pass_quantizer(j_decompress_ptr info) {
    ERREXIT(info, JERR_NOT_COMPILED);
}
void jinit_2pass_quantizer(j_decompress_ptr info) {
    ERREXIT(info, JERR_NOT_COMPILED);
}
void jinit_merged_upsampler(j_decompress_ptr info) {
    ERREXIT(info, JERR_NOT_COMPILED);
}
void jpeg_idct_ifast(j_decompress_ptr info, jpeg_component_info*, JCOEFPTR, JSAMPARRAY, JDIMENSION) {
    ERREXIT(info, JERR_NOT_COMPILED);
}
void jpeg_idct_float(j_decompress_ptr info, jpeg_component_info*, JCOEFPTR, JSAMPARRAY, JDIMENSION) {
    ERREXIT(info, JERR_NOT_COMPILED);
}
}
