# Writes a C++ source file that holds the bytes of a file as an array and a
# function that hands them out:
#   cmake -DINPUT=<file> -DOUTPUT=<source.cpp> -DHEADER=<header to include>
#         -DFUNCTION=<function name> -P EmbedFile.cmake
# The function is declared in HEADER as std::span<const unsigned char> FUNCTION();
foreach(variable INPUT OUTPUT HEADER FUNCTION)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "EmbedFile.cmake: ${variable} is not set")
  endif()
endforeach()

file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
if(size EQUAL 0)
  # An array cannot be empty; the span still has no bytes.
  set(bytes "0x00,")
else()
  # Sixteen bytes to a line: the hex text is broken first, then each pair becomes a byte.
  string(REGEX REPLACE "(................................)" "\\1\n    " hex "${hex}")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
endif()

get_filename_component(input_name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.new"
  "// Generated from ${input_name} by cmake/EmbedFile.cmake; do not edit.\n"
  "#include \"${HEADER}\"\n\n"
  "namespace {\n\n"
  "const unsigned char kBytes[] = {\n    ${bytes}\n};\n\n"
  "}  // namespace\n\n"
  "std::span<const unsigned char> ${FUNCTION}() { return {kBytes, ${size}u}; }\n")
file(RENAME "${OUTPUT}.new" "${OUTPUT}")
