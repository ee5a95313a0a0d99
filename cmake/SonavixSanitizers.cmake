# One sanitizer set for the whole build, so libraries and tests agree on instrumentation.
if(SONAVIX_SANITIZE)
    set(_san "-fsanitize=${SONAVIX_SANITIZE}" -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_compile_options(${_san})
    add_link_options(${_san})
endif()
