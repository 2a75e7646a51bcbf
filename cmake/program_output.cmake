# Writes what a program prints to a file:
#   cmake -DPROGRAM=... "-DARGS=a b" -DOUTPUT=FILE -P program_output.cmake
separate_arguments(args UNIX_COMMAND "${ARGS}")
execute_process(COMMAND "${PROGRAM}" ${args} OUTPUT_FILE "${OUTPUT}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} ${ARGS} failed (${status})")
endif()
