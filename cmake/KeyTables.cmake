# Reads the key file (K then H, 512 hexadecimal byte pairs, '#' comments) and generates
# hhx_key_tables.cpp with the two tables and the key's fingerprint. Stops the configure step
# with a clear message when the file is missing, has the wrong byte count or H is not a
# permutation of 0..255.

function(hhx_generate_key_tables key_file out_cpp)
  if(NOT EXISTS "${key_file}")
    message(FATAL_ERROR "HHX_KEY_FILE: key file '${key_file}' does not exist")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${key_file}")
  file(STRINGS "${key_file}" lines)
  set(bytes "")
  set(count 0)
  set(line_no 0)
  foreach(line IN LISTS lines)
    math(EXPR line_no "${line_no} + 1")
    string(REGEX REPLACE "#.*$" "" line "${line}")
    string(REGEX REPLACE "[ \t\r]+" ";" tokens "${line}")
    foreach(tok IN LISTS tokens)
      if(tok STREQUAL "")
        continue()
      endif()
      if(NOT tok MATCHES "^[0-9A-Fa-f][0-9A-Fa-f]$")
        message(FATAL_ERROR "HHX_KEY_FILE: '${key_file}' line ${line_no}: '${tok}' is not a hexadecimal byte pair")
      endif()
      math(EXPR value "0x${tok}")
      list(APPEND bytes ${value})
      math(EXPR count "${count} + 1")
    endforeach()
  endforeach()
  if(NOT count EQUAL 512)
    message(FATAL_ERROR "HHX_KEY_FILE: '${key_file}' holds ${count} bytes; a key file holds exactly 512 (K: 256, then H: 256)")
  endif()
  list(SUBLIST bytes 0 256 table_k)
  list(SUBLIST bytes 256 256 table_h)
  set(sorted_h ${table_h})
  list(SORT sorted_h COMPARE NATURAL)
  list(REMOVE_DUPLICATES sorted_h)
  list(LENGTH sorted_h distinct)
  if(NOT distinct EQUAL 256)
    message(FATAL_ERROR "HHX_KEY_FILE: '${key_file}': H (bytes 256..511) is not a permutation of 0..255 (${distinct} distinct values)")
  endif()

  # Fingerprint: the first 16 hex digits of the SHA-256 of the 512 bytes written as lowercase hex.
  set(hex "")
  foreach(v IN LISTS bytes)
    math(EXPR v "${v}" OUTPUT_FORMAT HEXADECIMAL)
    string(SUBSTRING "${v}" 2 -1 v)
    string(LENGTH "${v}" n)
    if(n EQUAL 1)
      set(v "0${v}")
    endif()
    string(TOLOWER "${v}" v)
    string(APPEND hex "${v}")
  endforeach()
  string(SHA256 digest "${hex}")
  string(SUBSTRING "${digest}" 0 16 fingerprint)
  set(HHX_KEY_FINGERPRINT "${fingerprint}" PARENT_SCOPE)
  message(STATUS "Key file: ${key_file} (fingerprint ${fingerprint})")

  string(REPLACE ";" ", " k_text "${table_k}")
  string(REPLACE ";" ", " h_text "${table_h}")
  file(CONFIGURE OUTPUT "${out_cpp}" CONTENT
"// Generated from the key file at configure time; do not edit.
#include \"crypt/key_tables.h\"

namespace hhx {
const unsigned char kKeystreamTable[256] = { ${k_text} };
const unsigned char kHeaderTable[256] = { ${h_text} };
const char kKeyFingerprint[] = \"${fingerprint}\";
}  // namespace hhx
")
endfunction()
