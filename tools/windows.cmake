# Windows-side tools: the driver simulator, which reads job files and drives
# QUILLREC.dll by ordinal as the printer driver's thunk does.
file(GLOB driver_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/driver/*.cpp)
add_executable(quillrec_driver ${driver_sources})
target_include_directories(quillrec_driver PRIVATE ${CMAKE_SOURCE_DIR}/tools/driver)
target_link_libraries(quillrec_driver PRIVATE quillrec_driving)
target_link_options(quillrec_driver PRIVATE -static)
quillrec_warnings(quillrec_driver)
add_dependencies(quillrec_driver QUILLREC)

# Every sample through the driver under Wine: the outputs exist, GDI reads
# each spool file back, emf2svg-conv accepts it, and a job that fails leaves
# no spool file behind.
add_test(NAME driver_samples
         COMMAND ${CMAKE_SOURCE_DIR}/tests/driver/check_samples.sh ${QUILLREC_WINE_ARCH}
                 $<TARGET_FILE:quillrec_driver> ${CMAKE_SOURCE_DIR}/samples ${CMAKE_BINARY_DIR}/driver_samples)
set_tests_properties(driver_samples PROPERTIES TIMEOUT 1500)
