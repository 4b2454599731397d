# Writes a C++ source defining NAME (the bytes of INPUT) and NAME##Size, so a compiled
# resource file becomes part of the module that reads it.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" length)
math(EXPR size "${length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp" "// Made at build time from ${INPUT}.\nextern const unsigned char ${NAME}[];\nextern const unsigned int ${NAME}Size;\nconst unsigned char ${NAME}[] = {\n${bytes}};\nconst unsigned int ${NAME}Size = ${size};\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
