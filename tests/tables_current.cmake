# Regenerates committed tables into a scratch directory and fails unless every output matches the
# committed file byte for byte.
#   cmake -DPYTHON=... -DGENERATOR=... -DINPUT=... -DCOMMITTED=... -DWORK=... -DFILES=a,b,c
#         -P tables_current.cmake
file(REMOVE_RECURSE "${WORK}")
execute_process(COMMAND "${PYTHON}" "${GENERATOR}" --input "${INPUT}" --output "${WORK}"
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "generator failed: ${rc}")
endif()
string(REPLACE "," ";" files "${FILES}")
foreach(name IN LISTS files)
    execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${WORK}/${name}"
                            "${COMMITTED}/${name}" RESULT_VARIABLE differs)
    if(differs)
        get_filename_component(generator "${GENERATOR}" NAME)
        message(FATAL_ERROR "${name} differs from its generator's output; rerun ${generator}")
    endif()
endforeach()
file(REMOVE_RECURSE "${WORK}")
