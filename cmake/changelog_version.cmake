# The version of qzgsms is the latest entry of the Debian changelog, for the package and the
# programs alike: one place to change it. Sets QZGSMS_VERSION in the including scope and
# makes a change of the changelog configure the build again.
get_filename_component(QZGSMS_CHANGELOG ${CMAKE_CURRENT_LIST_DIR}/../packaging/debian/changelog ABSOLUTE)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${QZGSMS_CHANGELOG})
file(STRINGS ${QZGSMS_CHANGELOG} changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^qzgsms \\(([^)]+)\\)")
  message(FATAL_ERROR "${QZGSMS_CHANGELOG}: the first line names no version")
endif()
set(QZGSMS_VERSION ${CMAKE_MATCH_1})
