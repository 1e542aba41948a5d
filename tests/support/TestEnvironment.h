#pragma once

// Fixes what the tests' expectations depend on, whoever starts them: the C locale, a time zone
// with daylight saving (Europe/Berlin), the offscreen platform. Call first thing in main().
void fixTestEnvironment();
