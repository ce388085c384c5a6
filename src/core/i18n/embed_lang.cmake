# Turns the language files into a C++ source: cmake -DLANG_DIR=... -DOUT=... -P embed_lang.cmake
# Codes are taken in this order; a missing file is left out of the table.
set(_codes b5 cn en pl kr)
set(_arrays "")
set(_rows "")
foreach(code ${_codes})
  set(_file ${LANG_DIR}/${code}.ini)
  if(NOT EXISTS ${_file})
    message(STATUS "language file ${_file} not found, left out")
    continue()
  endif()
  file(READ ${_file} _hex HEX)
  string(LENGTH "${_hex}" _len)
  math(EXPR _size "${_len} / 2")
  if(_size EQUAL 0)
    set(_bytes "0x00")
  else()
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
    # Break the array into lines of 24 bytes to keep the source readable for compilers and tools.
    string(REGEX REPLACE "((0x..,){24})" "\\1\n  " _bytes "${_bytes}")
  endif()
  string(APPEND _arrays "const unsigned char kLang_${code}[] = {\n  ${_bytes}\n};\n")
  string(APPEND _rows "      {\"${code}\", std::string_view(reinterpret_cast<const char*>(kLang_${code}), ${_size})},\n")
endforeach()

set(_text "// Generated at build time from resources/lang/*.ini; do not edit.
#include \"core/i18n/lang.h\"

namespace kestrova {
namespace {
${_arrays}}  // namespace

const std::vector<EmbeddedLangFile>& EmbeddedLanguageFiles() {
  static const std::vector<EmbeddedLangFile> files = {
${_rows}  };
  return files;
}

}  // namespace kestrova
")
file(WRITE ${OUT} "${_text}")
