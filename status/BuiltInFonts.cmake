# Writes OUTPUT, a C++ source that builds the font images IMAGES (a list of
# files) into the program as read-only data: the assembler's .incbin takes
# each file as it is, and kBuiltInFontImages lists them by file name. Each
# image's SHA-256 is written beside it, so a changed image changes the source
# and no compiler cache hands back the old one.
set(text "// Generated from the font folder by status/BuiltInFonts.cmake.\n#include \"status/ResourceFonts.h\"\n\n")
set(rows "")
set(index 0)
foreach(image IN LISTS IMAGES)
  file(SHA256 "${image}" digest)
  get_filename_component(name "${image}" NAME)
  string(REPLACE "\\" "\\\\" path "${image}")
  string(REPLACE "\"" "\\\"" path "${path}")
  string(APPEND text "// ${name} sha256 ${digest}\n"
    "asm(\".pushsection .rodata.kalo_font_${index},\\\"a\\\"\\n\"\n"
    "    \".balign 16\\n\"\n"
    "    \"kalo_font_${index}:\\n\"\n"
    "    \".incbin \\\"${path}\\\"\\n\"\n"
    "    \"kalo_font_${index}_end:\\n\"\n"
    "    \".popsection\");\n"
    "extern \"C\" const unsigned char kalo_font_${index}[], kalo_font_${index}_end[];\n\n")
  string(APPEND rows "    {\"${name}\", kalo_font_${index}, kalo_font_${index}_end},\n")
  math(EXPR index "${index} + 1")
endforeach()
string(APPEND text "const kalo::BuiltInFontImage kalo::kBuiltInFontImages[] = {\n${rows}    {nullptr, nullptr, nullptr},\n};\n")
file(WRITE "${OUTPUT}.new" "${text}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
