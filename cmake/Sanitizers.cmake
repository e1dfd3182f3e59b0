# Sanitizers as one interface target so the same sources build both ways.
add_library(project_sanitizers INTERFACE)
if(GERARQPREV_SANITIZE)
  target_compile_options(project_sanitizers INTERFACE
    -fsanitize=address,undefined  # memory errors and undefined behaviour
    -fno-sanitize-recover=undefined  # a UB report fails the test instead of scrolling by
    -fno-omit-frame-pointer)      # readable stacks in reports
  target_link_options(project_sanitizers INTERFACE -fsanitize=address,undefined)
endif()
