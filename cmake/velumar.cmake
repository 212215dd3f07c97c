# velumar_library(<target> [DEPS <targets...>])
#   One static library per source folder: every .cpp below the calling folder
#   (subfolders with their own CMakeLists.txt excluded). Include root is the
#   repository root, so headers are included as "platform/raster/image.h".
function(velumar_library target)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  set_property(GLOBAL APPEND PROPERTY VELUMAR_LIBRARIES ${target})
  if(sources)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${ARG_DEPS})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# velumar_tests(<label> [NAME <name>] [DEPS <targets...>])
#   One GoogleTest executable per folder of tests/, every .cpp in the calling
#   folder and its subfolders without a CMakeLists.txt of their own,
#   registered with CTest under <label> so `ctest -L <label>` runs it.
function(velumar_tests label)
  # NAME names the executable when a second folder shares a label.
  cmake_parse_arguments(ARG "" "NAME" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  # Subfolders with their own CMakeLists.txt build their own executable.
  file(GLOB_RECURSE nested CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
  foreach(list_file ${nested})
    get_filename_component(nested_dir ${list_file} DIRECTORY)
    list(FILTER sources EXCLUDE REGEX "^${nested_dir}/")
  endforeach()
  if(NOT sources)
    return()
  endif()
  if(ARG_NAME)
    set(target velumar_${ARG_NAME}_tests)
  else()
    set(target velumar_${label}_tests)
  endif()
  add_executable(${target} ${sources})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${target} PRIVATE ${ARG_DEPS} velumar_testsupport GTest::gtest GTest::gmock)
  target_compile_definitions(${target} PRIVATE
    VELUMAR_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    VELUMAR_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data")
  gtest_discover_tests(${target}
    PROPERTIES LABELS ${label}
    DISCOVERY_TIMEOUT 120
    DISCOVERY_MODE PRE_TEST)
endfunction()
