// Only carries the tests' precompiled headers.
int main() {
    return 0;
}
