# Fails the build when a linked applet image holds something the phone's loader cannot take:
# a program header other than PT_LOAD or PT_DYNAMIC, or a relocation other than
# R_ARM_RELATIVE (23) or R_ARM_RABS32 (253).
# Run as: cmake -DREADELF=<readelf> -DIMAGE=<image> -P check_image.cmake
# A refused image is deleted, so that nothing downstream (elfslim, tests, the simulator)
# picks up a stale or broken file and the next build links it again.
function(refuse)
  string(JOIN "" text ${ARGV})
  file(REMOVE "${IMAGE}")
  message(FATAL_ERROR "${IMAGE}: ${text}")
endfunction()

execute_process(COMMAND ${READELF} -W -l -r "${IMAGE}"
                OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  refuse("readelf failed")
endif()
string(REPLACE "\n" ";" lines "${out}")
set(in_headers FALSE)
set(relocs 0)
foreach(line IN LISTS lines)
  if(line MATCHES "^ +Type +Offset +VirtAddr")
    set(in_headers TRUE)
  elseif(in_headers AND line MATCHES "^ +([A-Z_a-z0-9+]+) +0x")
    set(kind "${CMAKE_MATCH_1}")
    if(NOT kind MATCHES "^(LOAD|DYNAMIC)$")
      refuse("program header ${kind}, but only LOAD and DYNAMIC may appear")
    endif()
  elseif(line MATCHES "^ *$")
    set(in_headers FALSE)
  elseif(line MATCHES "^([0-9a-f]+) +([0-9a-f]+) +([A-Za-z_0-9]+)")
    set(where "${CMAKE_MATCH_1}")
    set(name "${CMAKE_MATCH_3}")
    string(SUBSTRING "${CMAKE_MATCH_2}" 6 2 type)
    if(NOT type MATCHES "^(17|fd)$")
      refuse("relocation ${name} at 0x${where}, but "
             "only R_ARM_RELATIVE and R_ARM_RABS32 may appear")
    endif()
    math(EXPR relocs "${relocs} + 1")
  endif()
endforeach()
if(relocs EQUAL 0)
  refuse("no relocations, but an applet image always has some")
endif()
