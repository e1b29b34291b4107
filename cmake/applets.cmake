# ARM applets: cross-builds applets/ as a project of its own with the arm-none-eabi toolchain,
# then reduces every image with the host's elfslim. Target `applet_images` (in ALL) stands for
# all of it; tests that read the images depend on it. Images land in KIT_APPLET_DIR:
# <name>.elf, <name>_new.elf and <name>.log (elfslim's dump of <name>.elf).
include(ExternalProject)
get_filename_component(kit_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

find_program(KIT_ARM_GCC arm-none-eabi-gcc)
if(NOT KIT_ARM_GCC)
  message(FATAL_ERROR "arm-none-eabi-gcc not found: run scripts/setup.sh (gcc-arm-none-eabi, "
                      "binutils-arm-none-eabi) or configure with -DKIT_APPLETS=OFF")
endif()

set(KIT_APPLET_NAMES nimbrel_clock nimbrel_ram)

set(kit_applet_images "")
foreach(name IN LISTS KIT_APPLET_NAMES)
  list(APPEND kit_applet_images "${KIT_APPLET_DIR}/${name}.elf")
endforeach()

# BUILD_ALWAYS: the outer build cannot see the applet sources, so it always asks the inner
# build, which relinks only what changed.
ExternalProject_Add(applets_arm
  SOURCE_DIR "${kit_root}/applets"
  PREFIX "${CMAKE_BINARY_DIR}/applets-arm"
  BINARY_DIR "${CMAKE_BINARY_DIR}/applets-arm/build"
  CMAKE_ARGS
    "-DCMAKE_TOOLCHAIN_FILE=${kit_root}/cmake/arm-none-eabi.cmake"
    "-DAPPLET_OUTPUT_DIR=${KIT_APPLET_DIR}"
  BUILD_ALWAYS ON
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --parallel 2
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${kit_applet_images}
  USES_TERMINAL_BUILD ON)

set(kit_applet_outputs ${kit_applet_images})
if(TARGET elfslim)
  foreach(name IN LISTS KIT_APPLET_NAMES)
    set(image "${KIT_APPLET_DIR}/${name}.elf")
    # elfslim writes <image less ".elf">_new.elf beside its input and its dump to stdout,
    # which goes to a log beside the image.
    add_custom_command(
      OUTPUT "${KIT_APPLET_DIR}/${name}_new.elf" "${KIT_APPLET_DIR}/${name}.log"
      COMMAND sh -c "\"$0\" \"$1\" > \"$2\"" $<TARGET_FILE:elfslim> "${image}"
              "${KIT_APPLET_DIR}/${name}.log"
      DEPENDS "${image}" elfslim
      COMMENT "elfslim ${name}.elf"
      VERBATIM)
    list(APPEND kit_applet_outputs "${KIT_APPLET_DIR}/${name}_new.elf")
  endforeach()
endif()

add_custom_target(applet_images ALL DEPENDS ${kit_applet_outputs})
add_dependencies(applet_images applets_arm)
