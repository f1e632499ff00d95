# vellumar_library(<name> DEPS <targets...>)
# Builds every .cpp/.h of the current folder into one static library. Files are globbed so that
# adding a unit to a folder needs no edit here.
function(vellumar_library name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp
                                        ${CMAKE_CURRENT_SOURCE_DIR}/*.h
                                        ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
    list(FILTER sources INCLUDE REGEX "\\.(cpp|h|qrc)$")
    set(compiled ${sources})
    list(FILTER compiled INCLUDE REGEX "\\.cpp$")
    if(NOT compiled)
        # A folder that has no units yet still gives a target, so that others may name it.
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
        target_link_libraries(${name} INTERFACE ${ARG_DEPS})
        return()
    endif()
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# vellumar_test(<name> DEPS <targets...>)
# One GoogleTest executable per test folder, run by CTest with the offscreen platform so that
# widget tests need no display.
function(vellumar_test name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp
                                        ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    if(NOT sources)
        return()  # a test folder without tests yet
    endif()
    file(GLOB support CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp
                                        ${CMAKE_SOURCE_DIR}/tests/support/*.h)
    add_executable(${name} ${sources} ${support})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest Qt6::Test)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/tests/support)
    target_compile_definitions(${name} PRIVATE
        VELLUMAR_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
        VELLUMAR_BINARY_DIR="${CMAKE_BINARY_DIR}")
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8"
        TIMEOUT 300)
endfunction()
