// qvprereqhandler: applies the database-server service pack silently and returns its outcome.
int main() { return 0; }
