# Writes the module definition file: BASE (the entry points) followed by every member, vtable
# and type information of the public image classes defined in LIBRARY and every gw_ function of
# the C interface defined in C_LIBRARY (as NM lists them), so the module exports on Windows what
# it exports on Linux.
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
# The C interface is exported under its plain names, which is what GetProcAddress, VBA's Declare
# and other languages' foreign-function interfaces look up. On 32-bit Windows its functions are
# stdcall, which the compiler names "_gw_encode@16": they are listed decorated ("gw_encode@16"),
# the link's --kill-at exports them by plain name, and the import library dlltool makes from this
# file keeps the decorated symbols that C callers compiled with the header refer to.
execute_process(COMMAND ${NM} --defined-only --extern-only --format=posix ${C_LIBRARY}
                OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${NM} could not list ${C_LIBRARY}")
endif()
string(REPLACE "\n" ";" lines "${listing}")
set(functions 0)
foreach(line ${lines})
  if(POINTER_SIZE EQUAL 8 AND line MATCHES "^(gw_[A-Za-z0-9_]+) T ")
    string(APPEND def "    ${CMAKE_MATCH_1}\n")
    math(EXPR functions "${functions} + 1")
  elseif(NOT POINTER_SIZE EQUAL 8 AND line MATCHES "^_(gw_[A-Za-z0-9_]+)(@[0-9]+) T ")
    string(APPEND def "    ${CMAKE_MATCH_1}${CMAKE_MATCH_2}\n")
    math(EXPR functions "${functions} + 1")
  elseif(line MATCHES "^_?gw_")
    # (on 32-bit Windows, a gw_ function declared without GW_CALL lacks the decoration)
    message(FATAL_ERROR "${C_LIBRARY}: '${line}' is not a function in the C interface's calling convention")
  endif()
endforeach()
if(functions EQUAL 0)
  message(FATAL_ERROR "${C_LIBRARY} defines no gw_ functions")
endif()

file(WRITE ${OUTPUT}.tmp "${def}")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${OUTPUT}.tmp ${OUTPUT})
file(REMOVE ${OUTPUT}.tmp)
