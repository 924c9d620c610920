# Each folder of src/ may include only the folders below it (docs/architecture.md):
#
#   core/       the standard library and core/
#   process/    core/
#   modem/      process/, core/
#   jobs/       modem/, process/, core/
#   gateway/    jobs/, modem/, process/, core/
#   ui/         gateway/ and everything below it; ui/qt/ alone includes Qt, ui/win32/ alone
#               (with src/platform/windows/) includes Windows' headers, and may use the
#               platform's UTF-16 conversion
#   platform/   core/, and the interfaces it implements (listed below)
#
# And only src/platform/ (and the Win32 window, src/ui/win32/) calls the operating system: no
# other file of the gateway's programs includes an operating system's header or asks which
# system it is built for. The simulator (tools/modemsim, apps/qzgsms-modemsim) is a Linux
# program of its own and is not checked.
#
# Run as a test: cmake -DSOURCE_DIR=<repository> -P check_layers.cmake
cmake_minimum_required(VERSION 3.22)

set(allowed_core "core/")
set(allowed_process "core/;process/")
set(allowed_modem "core/;process/;modem/")
set(allowed_jobs "core/;process/;modem/;jobs/")
set(allowed_gateway "core/;process/;modem/;jobs/;gateway/")
set(allowed_ui "core/;process/;modem/;jobs/;gateway/;ui/")
set(allowed_ui_win32 "core/;process/;modem/;jobs/;gateway/;ui/;platform/windows/windows_text.h")
# qzgsms_events.h is made by windmc from platform/windows/qzgsms_events.mc in the build folder.
set(allowed_platform "core/;platform/;qzgsms_events.h;modem/port_name.h;modem/serial_port.h;modem/serial_device.h;modem/mode_string.h;modem/serial_port_list.h;process/child_process.h;process/process_system.h;process/command_line.h;process/windows_command_line.h;jobs/folder_watch.h;gateway/processor_rule.h;gateway/folder_lock.h;gateway/port_device.h;gateway/stop_signals.h;gateway/headless_wait.h;ui/system_menu.h;ui/alarm_application.h")

set(violations "")
foreach(layer core process modem jobs gateway ui platform)
  file(GLOB_RECURSE sources "${SOURCE_DIR}/src/${layer}/*.h" "${SOURCE_DIR}/src/${layer}/*.cpp")
  foreach(source IN LISTS sources)
    set(allowed "${allowed_${layer}}")
    if(source MATCHES "/src/ui/win32/")
      set(allowed "${allowed_ui_win32}")
    endif()
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" header "${line}")
      set(ok FALSE)
      foreach(prefix IN LISTS allowed)
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

# Headers of POSIX, Linux and Windows; the C and C++ standard headers are not among them.
set(system_header_regex
    "^(sys|linux|asm|net|netinet|arpa|systemd)/|^(unistd|fcntl|signal|termios|poll|dirent|pwd|grp|spawn|sched|pthread|glob|fnmatch|syslog|dlfcn|netdb|pty|semaphore|libgen|wordexp)\\.h$|^(windows|winbase|winnt|winsock2|ws2tcpip|io|direct|process|conio|tchar|shlobj|shellapi|commctrl|commdlg)\\.h$")
file(GLOB_RECURSE portable_sources
     "${SOURCE_DIR}/src/*.h" "${SOURCE_DIR}/src/*.cpp"
     "${SOURCE_DIR}/apps/*.h" "${SOURCE_DIR}/apps/*.cpp"
     "${SOURCE_DIR}/tools/*.h" "${SOURCE_DIR}/tools/*.cpp")
list(FILTER portable_sources EXCLUDE REGEX "/src/platform/|/src/ui/win32/|/apps/qzgsms-modemsim/|/tools/modemsim/")
foreach(source IN LISTS portable_sources)
  file(RELATIVE_PATH where "${SOURCE_DIR}" "${source}")
  file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*<")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*<([^>]*)>.*" "\\1" header "${line}")
    string(TOLOWER "${header}" header_lower)
    if(header_lower MATCHES "${system_header_regex}")
      string(APPEND violations "  ${where} includes <${header}>: only src/platform/ calls the system\n")
    endif()
  endforeach()
  file(STRINGS "${source}" conditions REGEX "^[ \t]*#[ \t]*(if|ifdef|ifndef|elif)[ \t].*(_WIN32|_WIN64|__linux__|__unix__|__APPLE__|__MINGW)")
  foreach(line IN LISTS conditions)
    string(STRIP "${line}" line)
    string(APPEND violations "  ${where} asks for the system (${line}): only src/platform/ may\n")
  endforeach()
endforeach()

# Each toolkit in its own folder: Qt only in src/ui/qt/ (and the Qt programs and tools outside
# src/), Windows' window headers only in src/ui/win32/ and src/platform/windows/.
file(GLOB_RECURSE window_sources "${SOURCE_DIR}/src/*.h" "${SOURCE_DIR}/src/*.cpp")
foreach(source IN LISTS window_sources)
  file(RELATIVE_PATH where "${SOURCE_DIR}" "${source}")
  file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*<Q")
  if(includes AND NOT where MATCHES "^src/ui/qt/")
    string(APPEND violations "  ${where} includes Qt: only src/ui/qt/ may\n")
  endif()
  file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*<(commctrl|commdlg|windowsx)\\.h>")
  if(includes AND NOT where MATCHES "^src/(ui/win32|platform/windows)/")
    string(APPEND violations "  ${where} includes a Windows window header: only src/ui/win32/ may\n")
  endif()
endforeach()

if(violations)
  message(FATAL_ERROR "Includes that break the layers:\n${violations}")
endif()
message(STATUS "Every include of src/ keeps to its layer, only src/platform/ and src/ui/win32/ call the system, and each toolkit keeps to its folder")
