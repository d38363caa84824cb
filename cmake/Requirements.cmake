# What the build and the tests need from the machine. Each check fails at configure time and names
# the Debian package that provides the missing piece (scripts/install-deps.sh installs them all),
# instead of a compiler or test error minutes later.

function(marlo_require_program var program package)
  find_program(${var} ${program})
  if(NOT ${var})
    message(FATAL_ERROR "${program} not found: install the Debian package ${package} (scripts/install-deps.sh)")
  endif()
endfunction()

function(marlo_require_path path package what)
  if(NOT EXISTS ${path})
    message(FATAL_ERROR "${what} not found at ${path}: install the Debian package ${package} (scripts/install-deps.sh)")
  endif()
endfunction()

# GoogleTest is built from Debian's source package, for the host and for Windows.
marlo_require_path(/usr/src/googletest/CMakeLists.txt googletest "GoogleTest sources")
