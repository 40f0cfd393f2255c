# The Ansible collection merv.ecr (ansible/) and the Prometheus
# alert rules and dashboard (packaging/prometheus/), included by the top
# CMakeLists.txt.
# The collection's tarball is built by ansible-galaxy (ansible-core) into
# build/ansible/ and installed, with the rules and the dashboard, into
# /usr/share/mervmodul/. Its tests run pytest: the modules' Python, and a
# chain of 20 shop hosts driven by ansible-playbook against mervsim with
# the programs of this build folder. The sanitizer and fuzz builds leave
# them out: the Python is the same there, and the module's own tests run.
if(NOT WIN32 AND NOT CMAKE_CROSSCOMPILING)
  string(REGEX REPLACE "\\.0*([0-9])" ".\\1" MERV_COLLECTION_VERSION "${MERV_VERSION}")
  set(MERV_COLLECTION ${CMAKE_BINARY_DIR}/ansible/merv-ecr-${MERV_COLLECTION_VERSION}.tar.gz)
  find_program(ANSIBLE_GALAXY ansible-galaxy)
  if(ANSIBLE_GALAXY)
    file(GLOB_RECURSE collection_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/ansible/*)
    list(FILTER collection_files EXCLUDE REGEX "/__pycache__/")
    # ansible-galaxy stamps the gzip with the time; the package's copy is
    # compressed again without it, as Debian wants.
    set(galaxy_output ${CMAKE_BINARY_DIR}/ansible/galaxy)
    add_custom_command(OUTPUT ${MERV_COLLECTION}
      COMMAND ${CMAKE_COMMAND} -E env PYTHONDONTWRITEBYTECODE=1 ${ANSIBLE_GALAXY} collection build --force
              --output-path ${galaxy_output} ${CMAKE_SOURCE_DIR}/ansible
      COMMAND sh -c "gzip -dc '${galaxy_output}/merv-ecr-${MERV_COLLECTION_VERSION}.tar.gz' | gzip -9n > '${MERV_COLLECTION}'"
      DEPENDS ${collection_files}
      COMMENT "Building the Ansible collection merv.ecr"
      VERBATIM)
    add_custom_target(ansible_collection ALL DEPENDS ${MERV_COLLECTION})
  endif()
  install(FILES ${MERV_COLLECTION} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/mervmodul/ansible COMPONENT module OPTIONAL)
  install(FILES packaging/prometheus/merv-alerts.yml packaging/prometheus/merv-dashboard.json
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/mervmodul/prometheus COMPONENT module)
  if(MERV_TESTS AND NOT MERV_SANITIZE AND NOT MERV_FUZZ)
    set(pytest /usr/bin/python3 -m pytest -q -p no:cacheprovider)
    add_test(NAME ansible_modules COMMAND ${pytest} ${CMAKE_SOURCE_DIR}/ansible/tests/unit)
    add_test(NAME ansible_chain COMMAND ${pytest} ${CMAKE_SOURCE_DIR}/ansible/tests/integration)
    set_tests_properties(ansible_modules ansible_chain PROPERTIES
      ENVIRONMENT "PYTHONDONTWRITEBYTECODE=1;MERV_BUILD_DIR=${CMAKE_BINARY_DIR}" TIMEOUT 600)
    # The chain drives 20 hosts with ten forks at once: counted as four of the
    # test slots, so that ctest starts fewer tests beside it and the tests
    # that wait on a line's time-outs are not starved of the processors.
    set_tests_properties(ansible_chain PROPERTIES PROCESSORS 4)
    # promtool checks the alert rules and runs their tests.
    add_test(NAME prometheus_rules_check COMMAND promtool check rules ${CMAKE_SOURCE_DIR}/packaging/prometheus/merv-alerts.yml)
    add_test(NAME prometheus_rules_test COMMAND promtool test rules ${CMAKE_SOURCE_DIR}/packaging/prometheus/merv-alerts.test.yml)
  endif()
endif()
