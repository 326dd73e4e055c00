// A complete Java application of the support library's binding, built against its installed jar:
// it prints the library's log lines through its own listener, finds the depth under a pixel and
// the plane under a touch (with a fixed random seed, so every run finds the same plane), and
// simplifies a mesh with progress.
import java.nio.FloatBuffer;
import java.util.Locale;
import org.solvo.support.CameraIntrinsics;
import org.solvo.support.Geometry;
import org.solvo.support.Log;
import org.solvo.support.Mesh;
import org.solvo.support.MeshSimplifier;
import org.solvo.support.PlaneHit;
import org.solvo.support.PointCloud;
import org.solvo.support.TuningFlags;
import org.solvo.support.Version;

public final class Example {
  private static final int WIDTH = 320;
  private static final int HEIGHT = 240;
  private static final double FOCAL = 260.0;
  private static final double[] IDENTITY = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  private static final int GRID = 60;

  private Example() {}

  /**
   * A depth frame of a camera 1.5 m above a level floor, looking along it (x right, y down, z
   * forward), with up to 3 mm of noise from a fixed sequence: the points are written straight
   * into the memory the library reads.
   */
  private static void fillFloor(PointCloud cloud) {
    FloatBuffer xyz = cloud.points();
    int noiseState = 7;
    int count = 0;
    for (int row = HEIGHT / 2 + 2; row < HEIGHT; ++row) {
      for (int column = 0; column < WIDTH; ++column) {
        noiseState = noiseState * 1664525 + 1013904223;
        double noise = ((noiseState >>> 8) / 16777216.0 - 0.5) * 0.006;
        double z = 1.5 * FOCAL / (row - (HEIGHT - 1) / 2.0);
        xyz.put((float) (z * (column - (WIDTH - 1) / 2.0) / FOCAL));
        xyz.put((float) (1.5 + noise));
        xyz.put((float) z);
        ++count;
      }
    }
    cloud.setPointCount(count);
    cloud.setTimestamp(0.5);
  }

  /** A coefficient for printing: a noisy fit's near-zero terms would show as -0.000000. */
  private static double tidy(double value) {
    return Math.abs(value) < 5e-7 ? 0.0 : value;
  }

  /** A wavy sheet of GRID x GRID vertices, and one degenerate face the library drops. */
  private static Mesh sheet() {
    float[] vertices = new float[3 * GRID * GRID];
    for (int y = 0; y < GRID; ++y) {
      for (int x = 0; x < GRID; ++x) {
        int v = 3 * (y * GRID + x);
        vertices[v] = x * 0.01f;
        vertices[v + 1] = y * 0.01f;
        vertices[v + 2] = (float) (0.05 * Math.sin(x * 0.2) * Math.cos(y * 0.15));
      }
    }
    int[] faces = new int[6 * (GRID - 1) * (GRID - 1) + 3];
    int f = 0;
    for (int y = 0; y + 1 < GRID; ++y) {
      for (int x = 0; x + 1 < GRID; ++x) {
        int v = y * GRID + x;
        int[] two = {v, v + 1, v + GRID + 1, v, v + GRID + 1, v + GRID};
        System.arraycopy(two, 0, faces, f, 6);
        f += 6;
      }
    }
    faces[f] = 4;
    faces[f + 1] = 4;
    faces[f + 2] = 7;
    return new Mesh(vertices, faces);
  }

  public static void main(String[] arguments) {
    Locale.setDefault(Locale.ROOT);
    System.out.printf(
        "libsolvo_support_api %s (binding built with %d.%d.%d)%n",
        Version.string(), Version.major(), Version.minor(), Version.patch());
    // Lines arrive on the library's logging thread.
    Log.setListener(
        (priority, tag, text) -> System.out.printf("  [%s, priority %d] %s", tag, priority, text));

    CameraIntrinsics intrinsics =
        new CameraIntrinsics(WIDTH, HEIGHT, FOCAL, FOCAL, (WIDTH - 1) / 2.0, (HEIGHT - 1) / 2.0);
    try (PointCloud cloud = new PointCloud(WIDTH * HEIGHT)) {
      fillFloor(cloud);
      System.out.printf(
          "depth frame: %d points at t = %.1f s%n", cloud.pointCount(), cloud.timestamp());
      float[] point = Geometry.depthAtPoint(cloud, intrinsics, IDENTITY, 0.5f, 0.75f);
      System.out.printf(
          "depth under (0.50, 0.75): point (%.3f, %.3f, %.3f) m%n", point[0], point[1], point[2]);

      // The touch's RANSAC draws from a generator seeded from the clock unless told otherwise.
      TuningFlags.set(TuningFlags.RANDOM_GENERATOR_USE_RANDOM_SEED, "false");
      TuningFlags.set(TuningFlags.RANDOM_GENERATOR_SEED, "42");
      PlaneHit hit = Geometry.planeUnderTouch(cloud, intrinsics, IDENTITY, 0.5f, 0.75f);
      double[] plane = hit.plane();
      double[] touched = hit.point();
      System.out.printf(
          "plane under the touch: %.6f x + %.6f y + %.6f z + %.6f = 0, touched (%.3f, %.3f, %.3f)%n",
          tidy(plane[0]), tidy(plane[1]), tidy(plane[2]), tidy(plane[3]),
          touched[0], touched[1], touched[2]);
      PlaneHit sky = Geometry.planeUnderTouch(cloud, intrinsics, IDENTITY, 0.5f, 0.02f);
      Log.flush(); // the line that tells why, before the answer
      System.out.println("no plane under a touch above the horizon: " + sky);
    }

    Mesh mesh = sheet();
    double[] next = {0.0};
    Mesh small =
        MeshSimplifier.simplify(
            mesh,
            500,
            fraction -> {
              if (fraction >= next[0]) {
                System.out.printf("  simplified %3.0f%%%n", 100 * fraction);
                next[0] += 0.25;
              }
              return true;
            });
    Log.flush(); // the degenerate face's warning before the result
    System.out.printf(
        "simplified %d faces to %d (%d vertices)%n",
        mesh.faceCount(), small.faceCount(), small.vertexCount());
    Log.setListener(null);
  }
}
