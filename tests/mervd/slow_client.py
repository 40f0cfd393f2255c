"""A client that sends the start of a request a byte at a time, as a slow or
hostile client does, until mervd cuts it off at its request limit."""
import socket
import time


def dribble(port, pause=1.0, between_bytes=None):
    """Sends a byte every `pause` seconds (calling `between_bytes` after each)
    until the server ends the connection or 90 bytes are sent; returns the
    seconds it took."""
    slow = socket.create_connection(("127.0.0.1", port))
    started = time.monotonic()
    head = f"GET /v1/health HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\nX-Slow: ".encode()
    try:
        for byte in head + b"a" * 60:
            slow.sendall(bytes([byte]))
            if between_bytes:
                between_bytes()
            time.sleep(pause)
            if ended(slow):
                break
    except OSError:
        pass  # the server's cut may also come as a reset of the connection
    finally:
        slow.close()
    return time.monotonic() - started


def ended(connection):
    """Whether the server has closed the connection, without waiting."""
    connection.setblocking(False)
    try:
        return connection.recv(1) == b""
    except BlockingIOError:
        return False
    finally:
        connection.setblocking(True)
