<?xml version="1.0" encoding="UTF-8"?>
<!-- The Java tab's home page, over the technology index. The client's first visit carries
     version, launcher and id. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="layout.xsl"/>
  <xsl:param name="version" select="''"/>
  <xsl:param name="launcher" select="''"/>
  <xsl:param name="id" select="''"/>

  <xsl:template match="/">
    <xsl:call-template name="layout">
      <xsl:with-param name="title" select="'Java platform reference'"/>
      <xsl:with-param name="section" select="'Java'"/>
      <xsl:with-param name="lead" select="concat('The public API of JDK ', /javatab/@jdk, ' on this machine: ',
          count(/javatab/technology), ' technologies, ', count(/javatab/technology/package), ' packages, ',
          sum(/javatab/technology/@classes), ' classes and interfaces.')"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template match="/" mode="content">
    <xsl:if test="string($version)">
      <p class="muted">
        Welcome<xsl:if test="string($id) and $id != '0'"> back</xsl:if>.
        Component manager control <xsl:value-of select="$version"/>
        <xsl:if test="$launcher = '1'">, opened from your IDE</xsl:if>
        <xsl:if test="string($id) and $id != '0'">; client <xsl:value-of select="$id"/></xsl:if>.
      </p>
    </xsl:if>
    <form class="search" action="/vantrel/javatab/search.jsp" method="get">
      <select name="kind" aria-label="Search for">
        <option value="0">Package</option>
        <option value="1" selected="selected">Class/Interface</option>
        <option value="2">Method</option>
        <option value="3">Extends</option>
        <option value="4">Implements</option>
      </select>
      <xsl:text> </xsl:text>
      <input type="text" name="q" placeholder="for example Vector" aria-label="Search text"/>
      <xsl:text> </xsl:text>
      <button type="submit">Search</button>
    </form>
    <h2>Technologies</h2>
    <table>
      <tr><th>Technology</th><th>Module</th><th>Packages</th><th>Classes</th></tr>
      <xsl:for-each select="/javatab/technology">
        <xsl:sort select="@display"/>
        <tr>
          <td><a href="/vantrel/javatab/technology/{@name}.jsp"><xsl:value-of select="@display"/></a></td>
          <td><code><xsl:value-of select="@name"/></code></td>
          <td><xsl:value-of select="count(package)"/></td>
          <td><xsl:value-of select="@classes"/></td>
        </tr>
      </xsl:for-each>
    </table>
    <p class="muted">Expand a technology in the tree to list its packages, a package to list its classes.</p>
  </xsl:template>
</xsl:stylesheet>
