import unittest
from trovix_e2e import *

if __name__ == "__main__":
    unittest.main()
