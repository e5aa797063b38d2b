#pragma once
// A report of the thrown balls for the end-to-end tests, which cannot see inside the program: when
// the environment variable TARNWICK_REPORT_BALLS is set, the program prints, about once a second, a
// line "balls N holes H" followed by one line "ball I at X Y Z" per ball, on standard output. Without
// the variable it prints nothing. Main thread, once per frame.
void ReportBalls(float deltaTime);
