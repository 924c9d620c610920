# Each folder of src/ may include only the folders below it (docs/architecture.md):
#
#   core/       the standard library and core/
#   modem/      core/
#   jobs/       modem/, core/
#   gateway/    jobs/, modem/, core/
#   ui/         gateway/ and everything below it, and Qt
#   platform/   core/, and the interfaces it implements (listed below)
#
# Run as a test: cmake -DSOURCE_DIR=<repository> -P check_layers.cmake
cmake_minimum_required(VERSION 3.22)

set(allowed_core "core/")
set(allowed_modem "core/;modem/")
set(allowed_jobs "core/;modem/;jobs/")
set(allowed_gateway "core/;modem/;jobs/;gateway/")
set(allowed_ui "core/;modem/;jobs/;gateway/;ui/")
set(allowed_platform "core/;platform/;modem/port_name.h;modem/serial_port.h;modem/mode_string.h;modem/child_process.h;modem/command_line.h;modem/windows_command_line.h;jobs/folder_watch.h;gateway/processor_rule.h;gateway/folder_lock.h;gateway/port_device.h;gateway/stop_signals.h;gateway/headless_wait.h")

set(violations "")
foreach(layer core modem jobs gateway ui platform)
  file(GLOB_RECURSE sources "${SOURCE_DIR}/src/${layer}/*.h" "${SOURCE_DIR}/src/${layer}/*.cpp")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" header "${line}")
      set(ok FALSE)
      foreach(prefix IN LISTS allowed_${layer})
        string(FIND "${header}" "${prefix}" at)
        if(at EQUAL 0)
          set(ok TRUE)
        endif()
      endforeach()
      if(NOT ok)
        file(RELATIVE_PATH where "${SOURCE_DIR}" "${source}")
        string(APPEND violations "  ${where} includes \"${header}\"\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  message(FATAL_ERROR "Includes across the layers of src/:\n${violations}")
endif()
message(STATUS "Every include of src/ keeps to its layer")
