from pyzol.cli import main

if __name__ == "__main__":  # not when a tool (stubtest, pydoc) imports it
    raise SystemExit(main())
