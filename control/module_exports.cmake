# Writes the module definition file: BASE (the entry points) followed by every member, vtable
# and type information of the public image classes defined in LIBRARY (as NM lists them), so
# the module exports the same classes on Windows as on Linux.
execute_process(COMMAND ${NM} --defined-only --extern-only --format=posix ${LIBRARY}
                OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${NM} could not list ${LIBRARY}")
endif()
file(READ ${BASE} def)
# BASE names the entry points as 32-bit Windows decorates them (stdcall's "@bytes"); 64-bit
# Windows has one calling convention and no decoration, so there the names stand alone.
if(POINTER_SIZE EQUAL 8)
  string(REGEX REPLACE " = [A-Za-z_][A-Za-z0-9_]*@[0-9]+" "" def "${def}")
  set(prefix "")
else()
  set(prefix "_")
endif()
string(REPLACE "\n" ";" lines "${listing}")
set(classes "7GwImage|10GwImageGIF|6GwFile|8GwIOFile|9GwMemFile|8GwPoint2|7GwRect2")
set(seen "")
foreach(line ${lines})
  # "__ZN7GwImage4DrawEP5HDC__ T 00000000": 32-bit symbols carry one leading underscore more.
  if(line MATCHES "^${prefix}(_Z(N|NK|TV|TI|TS)(${classes})[^ ]*) ([TDRB]) ")
    set(name ${CMAKE_MATCH_1})
    list(FIND seen ${name} at)
    if(at EQUAL -1)
      list(APPEND seen ${name})
      if(CMAKE_MATCH_4 STREQUAL "T")
        string(APPEND def "    ${name}\n")
      else()
        string(APPEND def "    ${name} DATA\n")
      endif()
    endif()
  endif()
endforeach()
file(WRITE ${OUTPUT}.tmp "${def}")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${OUTPUT}.tmp ${OUTPUT})
file(REMOVE ${OUTPUT}.tmp)
