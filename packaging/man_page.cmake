# Turns one scdoc page into roff (ROFF) and its compressed copy (ROFF.gz). Run with -P;
# SCDOC, GZIP, SOURCE, ROFF and SOURCE_DATE_EPOCH (the date the page shows) are given.
set(ENV{SOURCE_DATE_EPOCH} ${SOURCE_DATE_EPOCH})
get_filename_component(folder ${ROFF} DIRECTORY)
file(MAKE_DIRECTORY ${folder})
execute_process(COMMAND ${SCDOC} INPUT_FILE ${SOURCE} OUTPUT_FILE ${ROFF}.tmp
                RESULT_VARIABLE failed ERROR_VARIABLE error)
if(failed)
  file(REMOVE ${ROFF}.tmp)
  message(FATAL_ERROR "scdoc ${SOURCE}: ${error}")
endif()
file(RENAME ${ROFF}.tmp ${ROFF})
execute_process(COMMAND ${GZIP} -9nc INPUT_FILE ${ROFF} OUTPUT_FILE ${ROFF}.gz RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "gzip ${ROFF} failed")
endif()
