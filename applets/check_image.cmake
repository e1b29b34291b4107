# Fails the build when a linked applet image holds something the phone's loader cannot take:
# a program header other than PT_LOAD or PT_DYNAMIC, or a relocation other than
# R_ARM_RELATIVE (23) or R_ARM_RABS32 (253).
# Run as: cmake -DREADELF=<readelf> -DIMAGE=<image> -P check_image.cmake
execute_process(COMMAND ${READELF} -W -l -r "${IMAGE}"
                OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${IMAGE}: readelf failed")
endif()
string(REPLACE "\n" ";" lines "${out}")
set(in_headers FALSE)
set(relocs 0)
foreach(line IN LISTS lines)
  if(line MATCHES "^ +Type +Offset +VirtAddr")
    set(in_headers TRUE)
  elseif(in_headers AND line MATCHES "^ +([A-Z_a-z0-9+]+) +0x")
    if(NOT CMAKE_MATCH_1 MATCHES "^(LOAD|DYNAMIC)$")
      message(FATAL_ERROR "${IMAGE}: program header ${CMAKE_MATCH_1}; only LOAD and DYNAMIC may appear")
    endif()
  elseif(line MATCHES "^ *$")
    set(in_headers FALSE)
  elseif(line MATCHES "^([0-9a-f]+) +([0-9a-f]+) +([A-Za-z_0-9]+)")
    string(SUBSTRING "${CMAKE_MATCH_2}" 6 2 type)
    if(NOT type MATCHES "^(17|fd)$")
      message(FATAL_ERROR "${IMAGE}: relocation ${CMAKE_MATCH_3} at 0x${CMAKE_MATCH_1}; "
                          "only R_ARM_RELATIVE and R_ARM_RABS32 may appear")
    endif()
    math(EXPR relocs "${relocs} + 1")
  endif()
endforeach()
if(relocs EQUAL 0)
  message(FATAL_ERROR "${IMAGE}: no relocations; an applet image always has some")
endif()
