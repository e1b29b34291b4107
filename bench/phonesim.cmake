# Benchmark of the phone simulator on the real plugin images. It reads them from the build's
# applet folder, or from the folder named by the environment variable KIT_APPLET_DIR.
find_package(benchmark QUIET)
if(benchmark_FOUND)
  add_executable(plugin_messages ${CMAKE_CURRENT_LIST_DIR}/plugin_messages.cpp)
  target_link_libraries(plugin_messages PRIVATE phonesim benchmark::benchmark)
  target_compile_definitions(plugin_messages PRIVATE KIT_APPLET_DIR="${KIT_APPLET_DIR}")
  if(TARGET applet_images)
    add_dependencies(plugin_messages applet_images)
  endif()
endif()
