# npm ci for the browser test, run by the build. A machine that cannot reach
# the npm registry (offline, or behind a proxy whose certificate npm is not
# given) still builds: the reason is kept in npm-ci.failed and the test
# reports itself skipped with it. The next build tries again.
#   cmake -DNPM=... -DOUT=... -P npmci.cmake
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env PUPPETEER_SKIP_DOWNLOAD=1 ${NPM} ci --ignore-scripts --no-audit --no-fund
    WORKING_DIRECTORY ${OUT}
    RESULT_VARIABLE rc
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err)
if(rc EQUAL 0)
    file(REMOVE ${OUT}/npm-ci.failed)
    file(TOUCH ${OUT}/npm-ci.stamp)
else()
    # npm 9 says "npm ERR!", npm 10 and later "npm error".
    string(REGEX MATCH "npm (ERR!|error) [^\n]*reason: [^\n]*" first "${err}")
    if(NOT first)
        string(REGEX MATCH "npm (ERR!|error) [^\n]*" first "${err}")
    endif()
    if(NOT first)
        set(first "npm ci exited with ${rc}")
    endif()
    file(WRITE ${OUT}/npm-ci.failed "npm could not install puppeteer-core (${first})\n")
    message(WARNING "The live page's browser test will be skipped: npm could not install puppeteer-core:\n${err}")
endif()
