# Regenerates the committed decoder tables into a temporary directory and fails unless every
# output matches byte for byte.
#   cmake -DPYTHON=... -DGENERATOR=... -DINPUT=... -DCOMMITTED=... -DWORK=... -P regenerate_tables.cmake
file(REMOVE_RECURSE "${WORK}")
execute_process(COMMAND "${PYTHON}" "${GENERATOR}" --input "${INPUT}" --output "${WORK}"
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "generator failed: ${rc}")
endif()
foreach(name huffman_tables.cpp band_tables.cpp synth_window.cpp)
    execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${WORK}/${name}"
                            "${COMMITTED}/${name}" RESULT_VARIABLE differs)
    if(differs)
        message(FATAL_ERROR "${name} differs from its generator's output; rerun "
                            "tools/tables/gen_iso_tables.py")
    endif()
endforeach()
file(REMOVE_RECURSE "${WORK}")
